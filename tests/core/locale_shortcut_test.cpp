#include <gtest/gtest.h>

#include "core/LocaleFormats.h"
#include "core/ShortCut.h"

using namespace quindra;

namespace {

TEST(LocaleFormats, BrazilianShortDateAndLongTimeWithoutZone) {
    const LocaleFormats f(QLocale(QStringLiteral("pt_BR")));
    EXPECT_EQ(f.shortDate(QDate(2009, 12, 25)), QStringLiteral("25/12/2009"));
    EXPECT_EQ(f.longTime(QTime(14, 3, 27)), QStringLiteral("14:03:27"));
    EXPECT_EQ(f.decimalSeparator(), QLatin1Char(','));
    // Other locales keep their own forms, still without a time zone.
    const LocaleFormats us(QLocale(QStringLiteral("en_US")));
    EXPECT_FALSE(us.longTimeFormat().contains(QLatin1Char('t')));
    EXPECT_EQ(us.decimalSeparator(), QLatin1Char('.'));
}

TEST(ShortCut, EntryRuleAndStoredForm) {
    struct Case {
        std::uint8_t vk;
        bool shift, ctrl, alt;
        TShortCut result;
        const char* text;
    };
    for (const Case& c : {
             Case{'A', false, false, true, 32833, "Alt+A"},
             Case{'A', false, false, false, 0x8041, "Alt+A"},
             Case{'A', true, false, false, 0x8041, "Alt+A"},
             Case{'Q', false, true, false, 0x4051, "Ctrl+Q"},
             Case{'Q', true, true, false, 0x6051, "Shift+Ctrl+Q"},
             Case{0x74, false, true, true, 0xC074, "Ctrl+Alt+F5"},
         }) {
        const TShortCut s = ApplyHotKeyRule(c.vk, c.shift, c.ctrl, c.alt);
        EXPECT_EQ(s, c.result) << c.text;
        EXPECT_EQ(ShortCutText(s), QString::fromLatin1(c.text));
    }
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_A), 0x41);
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_7), 0x37);
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_F1), 0x70);
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Home), 0x24);
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Shift), 0);
}

}  // namespace
