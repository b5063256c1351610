#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

// Tests run in the operator's locale, whatever the shell that started them.
int main(int argc, char** argv) {
    setenv("LANG", "pt_BR.UTF-8", 1);
    setenv("LC_ALL", "pt_BR.UTF-8", 1);
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
