#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <QHash>
#include <QSet>

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
        ShortCut result;
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
        const ShortCut s = ApplyHotKeyRule(c.vk, c.shift, c.ctrl, c.alt);
        EXPECT_EQ(s, c.result) << c.text;
        EXPECT_EQ(ShortCutText(s), QString::fromLatin1(c.text));
    }
}

// The one key table: every key the entry field accepts reaches the grab as
// the same key and comes back as the same code, with its own name.
TEST(ShortCut, EveryAcceptedKeyRoundTripsThroughItsCodeAndX11Key) {
    QSet<int> codes;
    QSet<std::uint32_t> keySyms;
    for (const HotKeyRow& row : HotKeyTable()) {
        SCOPED_TRACE(row.name.toStdString());
        EXPECT_NE(row.virtualKey, 0);
        EXPECT_NE(row.x11KeySym, 0u);
        EXPECT_FALSE(codes.contains(row.virtualKey)) << "code used twice";
        EXPECT_FALSE(keySyms.contains(row.x11KeySym)) << "X11 key used twice";
        codes.insert(row.virtualKey);
        keySyms.insert(row.x11KeySym);

        EXPECT_EQ(VirtualKeyFromQtKey(row.qtKey), row.virtualKey);
        EXPECT_EQ(X11KeySymOf(row.virtualKey), row.x11KeySym);
        EXPECT_EQ(VirtualKeyFromX11KeySym(row.x11KeySym), row.virtualKey);
        EXPECT_EQ(ShortCutText(kCtrlKey | row.virtualKey), QStringLiteral("Ctrl+") + row.name);
    }

    // Known codes, as Windows gives them on an ABNT2 keyboard.
    struct Known {
        int qtKey;
        std::uint8_t code;
        std::uint32_t keySym;
    };
    for (const Known& k :
         {Known{Qt::Key_A, 0x41, XK_a}, Known{Qt::Key_7, 0x37, XK_7},
          Known{Qt::Key_F1, 0x70, XK_F1}, Known{Qt::Key_Home, 0x24, XK_Home},
          Known{Qt::Key_Ccedilla, 0xBA, XK_ccedilla}, Known{Qt::Key_Semicolon, 0xBF, XK_semicolon},
          Known{Qt::Key_Slash, 0xC1, XK_slash}, Known{Qt::Key_Menu, 0x5D, XK_Menu}}) {
        EXPECT_EQ(VirtualKeyFromQtKey(k.qtKey), k.code) << k.qtKey;
        EXPECT_EQ(X11KeySymOf(k.code), k.keySym) << k.qtKey;
    }
    // Keys the grab could not register as the same key are not accepted.
    for (int refused :
         {Qt::Key_Shift, Qt::Key_CapsLock, Qt::Key_NumLock, Qt::Key_ScrollLock, Qt::Key_Asterisk,
          Qt::Key_Less, Qt::Key_Greater, Qt::Key_Enter, Qt::Key_Dead_Acute, Qt::Key_Dead_Tilde})
        EXPECT_EQ(VirtualKeyFromQtKey(refused), 0) << refused;
    // A stored code outside the table is shown, but there is nothing to grab.
    EXPECT_EQ(X11KeySymOf(0x14), 0u);
    EXPECT_EQ(ShortCutText(kAltKey | 0x14), QStringLiteral("Alt+Tecla 20"));
}

// The key the operator presses in the field is the key the grab listens for,
// row by row: Page Up restores on Page Up, never on Page Down. The X11 key of
// every row is worked out here without the table: a key that types one
// character has that character's Latin-1 code as its X11 key (in lower case),
// F1 to F24 follow each other, and the other keys are named.
TEST(ShortCut, EveryKeyOfTheTableIsGrabbedAsTheKeyItNames) {
    const QHash<int, std::uint32_t> named{
        {Qt::Key_Backspace, XK_BackSpace},
        {Qt::Key_Tab, XK_Tab},
        {Qt::Key_Return, XK_Return},
        {Qt::Key_Pause, XK_Pause},
        {Qt::Key_Escape, XK_Escape},
        {Qt::Key_Space, XK_space},
        {Qt::Key_PageUp, XK_Page_Up},
        {Qt::Key_PageDown, XK_Page_Down},
        {Qt::Key_End, XK_End},
        {Qt::Key_Home, XK_Home},
        {Qt::Key_Left, XK_Left},
        {Qt::Key_Up, XK_Up},
        {Qt::Key_Right, XK_Right},
        {Qt::Key_Down, XK_Down},
        {Qt::Key_Print, XK_Print},
        {Qt::Key_Insert, XK_Insert},
        {Qt::Key_Delete, XK_Delete},
        {Qt::Key_Menu, XK_Menu},
    };
    int checked = 0;
    for (const HotKeyRow& row : HotKeyTable()) {
        SCOPED_TRACE(row.name.toStdString());
        std::uint32_t expected = 0;
        if (named.contains(row.qtKey)) {
            expected = named.value(row.qtKey);
        } else if (row.qtKey >= Qt::Key_F1 && row.qtKey <= Qt::Key_F24) {
            expected = XK_F1 + static_cast<std::uint32_t>(row.qtKey - Qt::Key_F1);
            EXPECT_EQ(row.name, QStringLiteral("F%1").arg(row.qtKey - Qt::Key_F1 + 1));
        } else {
            ASSERT_EQ(row.name.size(), 1) << "a key that is neither named nor typed";
            EXPECT_EQ(row.qtKey, row.name[0].unicode());
            expected = row.name[0].toLower().unicode();
        }
        EXPECT_EQ(row.x11KeySym, expected);
        EXPECT_EQ(X11KeySymOf(VirtualKeyFromQtKey(row.qtKey)), expected);
        ++checked;
    }
    EXPECT_EQ(checked, 26 + 10 + 24 + named.size() + 11);
}

}  // namespace
