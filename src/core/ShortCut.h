#pragma once

#include <QString>
#include <cstdint>

namespace quindra {

// A key combination as the settings store it: low byte a Windows virtual-key
// code, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt. A stored value means the same
// key on every platform.
using TShortCut = std::uint16_t;

inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
inline constexpr TShortCut kDefaultHotKey = scAlt | 'A';  // 32833, Alt+A

inline constexpr std::uint8_t VirtualKeyOf(TShortCut s) {
    return s & 0xFF;
}
inline constexpr TShortCut ModifiersOf(TShortCut s) {
    return s & (scShift | scCtrl | scAlt);
}

// The hot-key entry's rule: a key alone, or with Shift alone, is not a usable
// hot-key; Alt with the key is taken instead.
TShortCut ApplyHotKeyRule(std::uint8_t virtualKey, bool shift, bool ctrl, bool alt);

// "Ctrl+Alt+Q", "Alt+F5", "Nenhuma" for no key.
QString ShortCutText(TShortCut s);

// The Windows virtual-key code of a Qt key, 0 when it has none.
std::uint8_t VirtualKeyFromQtKey(int qtKey);

}  // namespace quindra
