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

// A press the grab delivers restores the window when it is the combination
// the operator chose, Caps Lock or Num Lock on or not; the same key with a
// modifier more or less is another combination.
TEST(X11KeyGrab, ThePressOfTheChosenCombinationIsTheHotKeyWhateverTheLocks) {
    constexpr std::uint16_t shift = XCB_MOD_MASK_SHIFT, ctrl = XCB_MOD_MASK_CONTROL,
                            alt = XCB_MOD_MASK_1, caps = XCB_MOD_MASK_LOCK, num = XCB_MOD_MASK_2;
    // The key codes the chosen key has on the keyboard map: A is 38; F5 sits
    // on two keys.
    struct Case {
        const char* pressed;
        ShortCut chosen;
        std::vector<std::uint8_t> grabbed;
        std::uint16_t state;
        std::uint8_t keyCode;
        bool restores;
    };
    const ShortCut ctrlAltF5 = kCtrlKey | kAltKey | 0x74;
    const ShortCut shiftCtrlQ = kShiftKey | kCtrlKey | 'Q';
    for (const Case& c : {
             Case{"Alt+A", kDefaultHotKey, {38}, alt, 38, true},
             Case{"Alt+A with Caps Lock", kDefaultHotKey, {38}, alt | caps, 38, true},
             Case{"Alt+A with Num Lock", kDefaultHotKey, {38}, alt | num, 38, true},
             Case{"A", kDefaultHotKey, {38}, 0, 38, false},
             Case{"Ctrl+Alt+A", kDefaultHotKey, {38}, ctrl | alt, 38, false},
             Case{"Shift+Alt+A", kDefaultHotKey, {38}, shift | alt, 38, false},
             Case{"Alt+S", kDefaultHotKey, {38}, alt, 39, false},
             Case{"Ctrl+Alt+F5 on its second key",
                  ctrlAltF5,
                  {71, 200},
                  ctrl | alt | num,
                  200,
                  true},
             Case{"Ctrl+F5", ctrlAltF5, {71, 200}, ctrl, 71, false},
             Case{"Shift+Ctrl+Q", shiftCtrlQ, {24}, shift | ctrl | caps, 24, true},
         }) {
        SCOPED_TRACE(c.pressed);
        EXPECT_EQ(IsHotKeyPress(c.state, c.keyCode, X11KeyGrabOf(c.chosen).modifiers, c.grabbed),
                  c.restores);
    }
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

// Every modifier held in the field stays in the combination, Alt included.
TEST(HotKeyEdit, ThePressedModifiersAreTheCombinations) {
    HotKeyEdit edit;
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers held;
        ShortCut combination;
        const char* text;
    };
    for (const Case& c : {
             Case{Qt::Key_F5, Qt::ControlModifier | Qt::AltModifier, kCtrlKey | kAltKey | 0x74,
                  "Ctrl+Alt+F5"},
             Case{Qt::Key_Q, Qt::ShiftModifier | Qt::AltModifier, kShiftKey | kAltKey | 'Q',
                  "Shift+Alt+Q"},
             Case{Qt::Key_0, Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier,
                  kShiftKey | kCtrlKey | kAltKey | '0', "Shift+Ctrl+Alt+0"},
             Case{Qt::Key_Z, Qt::ControlModifier, kCtrlKey | 'Z', "Ctrl+Z"},
         }) {
        QTest::keyClick(&edit, c.key, c.held);
        EXPECT_EQ(edit.shortCut(), c.combination) << c.text;
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.text));
    }
}

}  // namespace
