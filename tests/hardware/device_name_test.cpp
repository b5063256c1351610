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
        EXPECT_EQ(LastWord(QByteArray(c.text), QByteArrayLiteral(" ")), QByteArray(c.word))
            << '"' << c.text << '"';
    }
}

TEST(IsHoldDeviceName, RelaxedOnGenerationFiveExactElsewhere) {
    struct Case {
        const char* name;
        bool generation5;
        bool other;
    };
    for (const Case& c : {
             Case{"Q-ZORBE", true, true},
             Case{"Microfone (Q-ZORBE)", true, false},
             Case{"Microfone (2- Q-ZORBE)", true, false},
             Case{"Microfone (Q-ZORBE) ", true, false},
             Case{"Microfone (Q-ZORBE Audio)", false, false},
             Case{"Microfone (q-zorbe)", false, false},
             Case{"Microfone (Q-ZORBE) USB", false, false},
             Case{"Microfone\t(Q-ZORBE)", false, false},
             Case{"((Q-ZORBE))", true, false},
             Case{"", false, false},
         }) {
        const QString name = QString::fromUtf8(c.name);
        EXPECT_EQ(IsHoldDeviceName(name, 5), c.generation5) << '"' << c.name << '"';
        for (int generation : {0, 1, 2, 3, 4})
            EXPECT_EQ(IsHoldDeviceName(name, generation), c.other) << '"' << c.name << '"';
    }
}

}  // namespace
