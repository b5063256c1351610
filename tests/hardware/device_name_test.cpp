#include <gtest/gtest.h>

#include "hardware/DeviceName.h"

using namespace quindra;

namespace {

TEST(LastWord, WordsAreRunsOfNonDelimiters) {
    struct Case {
        const char* text;
        const char* word;
    };
    for (const Case& c : {Case{"", ""}, Case{"   ", ""}, Case{"Microfone (Q-ZORBE)", "(Q-ZORBE)"},
                          Case{"  a   b  ", "b"}, Case{"single", "single"}, Case{"a\tb", "a\tb"},
                          Case{"x (2- Q-ZORBE)", "Q-ZORBE)"}}) {
        EXPECT_EQ(LastWord(QString::fromUtf8(c.text), u" "), QString::fromUtf8(c.word))
            << '"' << c.text << '"';
    }
}

TEST(IsHoldDeviceName, TheLastWordWithoutParenthesesIsTheToken) {
    struct Case {
        const char* name;
        bool hold;
    };
    for (const Case& c : {
             Case{"Q-ZORBE", true},
             Case{"Microfone (Q-ZORBE)", true},
             Case{"Microfone (2- Q-ZORBE)", true},
             Case{"Microfone (Q-ZORBE) ", true},
             Case{"Microfone (Q-ZORBE Audio)", false},
             Case{"Microfone (q-zorbe)", false},
             Case{"Microfone (Q-ZORBE) USB", false},
             Case{"Microfone\t(Q-ZORBE)", false},
             Case{"((Q-ZORBE))", true},
             Case{"", false},
         }) {
        const QString name = QString::fromUtf8(c.name);
        EXPECT_EQ(IsHoldDeviceName(name), c.hold) << '"' << c.name << '"';
    }
}

}  // namespace
