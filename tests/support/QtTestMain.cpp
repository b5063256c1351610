#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// Tests that build widgets need an application object; it runs offscreen,
// in the operator's locale.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("LANG", "pt_BR.UTF-8", 1);
    setenv("LC_ALL", "pt_BR.UTF-8", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
