#include <gtest/gtest.h>
#include <xcb/xproto.h>

#include <QSignalSpy>
#include <QTest>

#include "window/HotKeyEdit.h"
#include "window/XcbHotKeyRegistrar.h"

using namespace quindra;

namespace {

// What the grab registers for each set of modifiers a stored combination may
// carry: Alt is the first X11 modifier (Mod1), never Super (Mod4).
TEST(X11KeyGrab, StoredModifiersBecomeTheX11ModifiersAndTheKeyItsSymbol) {
    struct Case {
        ShortCut stored;
        std::uint16_t modifiers;
        std::uint32_t keySym;
    };
    constexpr std::uint16_t shift = XCB_MOD_MASK_SHIFT, ctrl = XCB_MOD_MASK_CONTROL,
                            alt = XCB_MOD_MASK_1;
    for (const Case& c : {
             Case{kDefaultHotKey, alt, 'a'},
             Case{kShiftKey | 'Q', shift, 'q'},
             Case{kCtrlKey | 'Q', ctrl, 'q'},
             Case{kShiftKey | kCtrlKey | 'Q', shift | ctrl, 'q'},
             Case{kShiftKey | kAltKey | 0x74, shift | alt, 0xffc2},  // F5
             Case{kCtrlKey | kAltKey | 0xBA, ctrl | alt, 0xe7},      // Ç
             Case{kShiftKey | kCtrlKey | kAltKey | '0', shift | ctrl | alt, '0'},
             Case{'A', 0, 'a'},
         }) {
        const X11KeyGrab grab = X11KeyGrabOf(c.stored);
        EXPECT_EQ(grab.modifiers, c.modifiers) << ShortCutText(c.stored).toStdString();
        EXPECT_EQ(grab.keySym, c.keySym) << ShortCutText(c.stored).toStdString();
    }
    EXPECT_EQ(X11KeyGrabOf(kAltKey | 0x14).keySym, 0u);  // Caps Lock: nothing to grab
}

TEST(HotKeyEdit, OnlyAPressedKeyFromTheTableChangesTheCombination) {
    HotKeyEdit edit;
    QSignalSpy changed(&edit, &HotKeyEdit::changed);
    edit.setShortCut(kCtrlKey | 'Q');
    EXPECT_EQ(edit.text(), QStringLiteral("Ctrl+Q"));
    EXPECT_EQ(changed.count(), 0);

    // Refused as typed: the grab could not register them as the same key.
    QTest::keyClick(&edit, Qt::Key_CapsLock, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_5, Qt::ControlModifier | Qt::KeypadModifier);
    QTest::keyClick(&edit, Qt::Key_Asterisk, Qt::AltModifier);
    EXPECT_EQ(edit.shortCut(), kCtrlKey | 'Q');
    EXPECT_EQ(changed.count(), 0);

    QTest::keyClick(&edit, Qt::Key_Ccedilla, Qt::ControlModifier);
    EXPECT_EQ(edit.shortCut(), kCtrlKey | 0xBA);
    EXPECT_EQ(edit.text(), QStringLiteral("Ctrl+Ç"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<quint16>(), kCtrlKey | 0xBA);
    // The same combination again is no change.
    QTest::keyClick(&edit, Qt::Key_Ccedilla, Qt::ControlModifier);
    EXPECT_EQ(changed.count(), 1);
}

}  // namespace
