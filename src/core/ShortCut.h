#pragma once

#include <QString>
#include <cstdint>
#include <span>

namespace quindra {

// A key combination as the settings store it: low byte a Windows virtual-key
// code, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt. A stored value means the same
// key on every platform.
using ShortCut = std::uint16_t;

inline constexpr ShortCut kShiftKey = 0x2000;
inline constexpr ShortCut kCtrlKey = 0x4000;
inline constexpr ShortCut kAltKey = 0x8000;
inline constexpr ShortCut kDefaultHotKey = kAltKey | 'A';  // 32833, Alt+A

inline constexpr std::uint8_t VirtualKeyOf(ShortCut s) {
    return s & 0xFF;
}
inline constexpr ShortCut ModifiersOf(ShortCut s) {
    return s & (kShiftKey | kCtrlKey | kAltKey);
}

// One key the restore hot-key can use: the Qt key the entry field sees, the
// code stored for it, the name shown for it, and the X11 key symbol the grab
// registers. The punctuation keys carry the codes Windows gives them on the
// Brazilian ABNT2 keyboard (Ç is 0xBA, ";" 0xBF, "/" 0xC1), so a stored
// combination names the same key the operator pressed.
struct HotKeyRow {
    int qtKey;
    std::uint8_t virtualKey;
    QString name;
    std::uint32_t x11KeySym;
};

// Every key the hot-key entry accepts; each code and each key symbol appears
// once. Keys missing here (lock keys, keypad, dead keys) are refused as they
// are typed, because the grab could not register them as the same key.
std::span<const HotKeyRow> HotKeyTable();

// The entry's rule: a key alone, or with Shift alone, is not a usable
// hot-key; Alt with the key is taken instead.
ShortCut ApplyHotKeyRule(std::uint8_t virtualKey, bool shift, bool ctrl, bool alt);

// "Ctrl+Alt+Q", "Alt+F5", "Nenhuma" for no key.
QString ShortCutText(ShortCut s);

// Look-ups in the key table; 0 when the key is not in it.
std::uint8_t VirtualKeyFromQtKey(int qtKey);
std::uint32_t X11KeySymOf(std::uint8_t virtualKey);
std::uint8_t VirtualKeyFromX11KeySym(std::uint32_t keySym);

}  // namespace quindra
