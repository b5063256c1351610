#include "core/ShortCut.h"

#include <X11/keysym.h>

#include <Qt>
#include <vector>

namespace quindra {

namespace {

std::vector<HotKeyRow> BuildTable() {
    std::vector<HotKeyRow> rows;
    for (int i = 0; i < 26; ++i)
        rows.push_back({Qt::Key_A + i, static_cast<std::uint8_t>('A' + i), QString(QChar('A' + i)),
                        static_cast<std::uint32_t>(XK_a + i)});
    for (int i = 0; i < 10; ++i)
        rows.push_back({Qt::Key_0 + i, static_cast<std::uint8_t>('0' + i), QString(QChar('0' + i)),
                        static_cast<std::uint32_t>(XK_0 + i)});
    for (int i = 0; i < 24; ++i)
        rows.push_back({Qt::Key_F1 + i, static_cast<std::uint8_t>(0x70 + i),
                        QStringLiteral("F%1").arg(i + 1), static_cast<std::uint32_t>(XK_F1 + i)});
    const HotKeyRow named[] = {
        {Qt::Key_Backspace, 0x08, QStringLiteral("Backspace"), XK_BackSpace},
        {Qt::Key_Tab, 0x09, QStringLiteral("Tab"), XK_Tab},
        {Qt::Key_Return, 0x0D, QStringLiteral("Enter"), XK_Return},
        {Qt::Key_Pause, 0x13, QStringLiteral("Pause"), XK_Pause},
        {Qt::Key_Escape, 0x1B, QStringLiteral("Esc"), XK_Escape},
        {Qt::Key_Space, 0x20, QStringLiteral("Espaço"), XK_space},
        {Qt::Key_PageUp, 0x21, QStringLiteral("Page Up"), XK_Prior},
        {Qt::Key_PageDown, 0x22, QStringLiteral("Page Down"), XK_Next},
        {Qt::Key_End, 0x23, QStringLiteral("End"), XK_End},
        {Qt::Key_Home, 0x24, QStringLiteral("Home"), XK_Home},
        {Qt::Key_Left, 0x25, QStringLiteral("Esquerda"), XK_Left},
        {Qt::Key_Up, 0x26, QStringLiteral("Acima"), XK_Up},
        {Qt::Key_Right, 0x27, QStringLiteral("Direita"), XK_Right},
        {Qt::Key_Down, 0x28, QStringLiteral("Abaixo"), XK_Down},
        {Qt::Key_Print, 0x2C, QStringLiteral("Print Screen"), XK_Print},
        {Qt::Key_Insert, 0x2D, QStringLiteral("Insert"), XK_Insert},
        {Qt::Key_Delete, 0x2E, QStringLiteral("Delete"), XK_Delete},
        {Qt::Key_Menu, 0x5D, QStringLiteral("Menu"), XK_Menu},
        // The ABNT2 keyboard's punctuation, row by row.
        {Qt::Key_Apostrophe, 0xC0, QStringLiteral("'"), XK_apostrophe},
        {Qt::Key_Minus, 0xBD, QStringLiteral("-"), XK_minus},
        {Qt::Key_Equal, 0xBB, QStringLiteral("="), XK_equal},
        {Qt::Key_BracketLeft, 0xDD, QStringLiteral("["), XK_bracketleft},
        {Qt::Key_Ccedilla, 0xBA, QStringLiteral("Ç"), XK_ccedilla},
        {Qt::Key_BracketRight, 0xDC, QStringLiteral("]"), XK_bracketright},
        {Qt::Key_Backslash, 0xE2, QStringLiteral("\\"), XK_backslash},
        {Qt::Key_Comma, 0xBC, QStringLiteral(","), XK_comma},
        {Qt::Key_Period, 0xBE, QStringLiteral("."), XK_period},
        {Qt::Key_Semicolon, 0xBF, QStringLiteral(";"), XK_semicolon},
        {Qt::Key_Slash, 0xC1, QStringLiteral("/"), XK_slash},
    };
    rows.insert(rows.end(), std::begin(named), std::end(named));
    return rows;
}

const std::vector<HotKeyRow>& Table() {
    static const std::vector<HotKeyRow> table = BuildTable();
    return table;
}

const HotKeyRow* RowOfVirtualKey(std::uint8_t vk) {
    for (const HotKeyRow& r : Table())
        if (r.virtualKey == vk)
            return &r;
    return nullptr;
}

}  // namespace

std::span<const HotKeyRow> HotKeyTable() {
    return Table();
}

ShortCut ApplyHotKeyRule(std::uint8_t virtualKey, bool shift, bool ctrl, bool alt) {
    if (!ctrl && !alt) {
        shift = false;
        alt = true;
    }
    ShortCut s = virtualKey;
    if (shift)
        s |= kShiftKey;
    if (ctrl)
        s |= kCtrlKey;
    if (alt)
        s |= kAltKey;
    return s;
}

QString ShortCutText(ShortCut s) {
    const std::uint8_t vk = VirtualKeyOf(s);
    if (vk == 0)
        return QStringLiteral("Nenhuma");
    QString text;
    if (s & kShiftKey)
        text += QStringLiteral("Shift+");
    if (s & kCtrlKey)
        text += QStringLiteral("Ctrl+");
    if (s & kAltKey)
        text += QStringLiteral("Alt+");
    const HotKeyRow* row = RowOfVirtualKey(vk);
    return text + (row ? row->name : QStringLiteral("Tecla %1").arg(vk));
}

std::uint8_t VirtualKeyFromQtKey(int qtKey) {
    for (const HotKeyRow& r : Table())
        if (r.qtKey == qtKey)
            return r.virtualKey;
    return 0;
}

std::uint32_t X11KeySymOf(std::uint8_t virtualKey) {
    const HotKeyRow* row = RowOfVirtualKey(virtualKey);
    return row ? row->x11KeySym : 0;
}

std::uint8_t VirtualKeyFromX11KeySym(std::uint32_t keySym) {
    for (const HotKeyRow& r : Table())
        if (r.x11KeySym == keySym)
            return r.virtualKey;
    return 0;
}

}  // namespace quindra
