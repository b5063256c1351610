#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

// Tests run in the operator's locale, whatever the shell that started them;
// QUINDRA_TEST_LOCALE names another one for a test that must hold on any
// system (such as C.UTF-8, a system without regional settings).
int main(int argc, char** argv) {
    const char* chosen = std::getenv("QUINDRA_TEST_LOCALE");
    const char* locale = chosen && *chosen ? chosen : "pt_BR.UTF-8";
    setenv("LANG", locale, 1);
    setenv("LC_ALL", locale, 1);
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
