#include "core/ShortCut.h"

#include <Qt>
#include <array>
#include <utility>

namespace quindra {

namespace {

// Keys that neither letters, digits nor function keys cover.
constexpr std::array<std::pair<int, std::uint8_t>, 38> kNamedKeys{{
    {Qt::Key_Backspace, 0x08},    {Qt::Key_Tab, 0x09},         {Qt::Key_Return, 0x0D},
    {Qt::Key_Enter, 0x0D},        {Qt::Key_Pause, 0x13},       {Qt::Key_CapsLock, 0x14},
    {Qt::Key_Escape, 0x1B},       {Qt::Key_Space, 0x20},       {Qt::Key_PageUp, 0x21},
    {Qt::Key_PageDown, 0x22},     {Qt::Key_End, 0x23},         {Qt::Key_Home, 0x24},
    {Qt::Key_Left, 0x25},         {Qt::Key_Up, 0x26},          {Qt::Key_Right, 0x27},
    {Qt::Key_Down, 0x28},         {Qt::Key_Print, 0x2C},       {Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, 0x2E},       {Qt::Key_Asterisk, 0x6A},    {Qt::Key_Plus, 0xBB},
    {Qt::Key_Comma, 0xBC},        {Qt::Key_Minus, 0xBD},       {Qt::Key_Period, 0xBE},
    {Qt::Key_Slash, 0xBF},        {Qt::Key_Semicolon, 0xBA},   {Qt::Key_Equal, 0xBB},
    {Qt::Key_QuoteLeft, 0xC0},    {Qt::Key_BracketLeft, 0xDB}, {Qt::Key_Backslash, 0xDC},
    {Qt::Key_BracketRight, 0xDD}, {Qt::Key_Apostrophe, 0xDE},  {Qt::Key_NumLock, 0x90},
    {Qt::Key_ScrollLock, 0x91},   {Qt::Key_Ccedilla, 0xBA},    {Qt::Key_Less, 0xE2},
    {Qt::Key_Greater, 0xE2},      {Qt::Key_Menu, 0x5D},
}};

QString keyName(std::uint8_t vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
        return QString(QChar(vk));
    if (vk >= 0x70 && vk <= 0x87)
        return QStringLiteral("F%1").arg(vk - 0x6F);
    switch (vk) {
        case 0x08:
            return QStringLiteral("Backspace");
        case 0x09:
            return QStringLiteral("Tab");
        case 0x0D:
            return QStringLiteral("Enter");
        case 0x13:
            return QStringLiteral("Pause");
        case 0x14:
            return QStringLiteral("Caps Lock");
        case 0x1B:
            return QStringLiteral("Esc");
        case 0x20:
            return QStringLiteral("Espaço");
        case 0x21:
            return QStringLiteral("Page Up");
        case 0x22:
            return QStringLiteral("Page Down");
        case 0x23:
            return QStringLiteral("End");
        case 0x24:
            return QStringLiteral("Home");
        case 0x25:
            return QStringLiteral("Esquerda");
        case 0x26:
            return QStringLiteral("Acima");
        case 0x27:
            return QStringLiteral("Direita");
        case 0x28:
            return QStringLiteral("Abaixo");
        case 0x2C:
            return QStringLiteral("Print Screen");
        case 0x2D:
            return QStringLiteral("Insert");
        case 0x2E:
            return QStringLiteral("Delete");
        case 0x5D:
            return QStringLiteral("Menu");
        case 0x90:
            return QStringLiteral("Num Lock");
        case 0x91:
            return QStringLiteral("Scroll Lock");
        default:
            return QStringLiteral("Tecla %1").arg(vk);
    }
}

}  // namespace

TShortCut ApplyHotKeyRule(std::uint8_t virtualKey, bool shift, bool ctrl, bool alt) {
    if (!ctrl && !alt) {
        shift = false;
        alt = true;
    }
    TShortCut s = virtualKey;
    if (shift)
        s |= scShift;
    if (ctrl)
        s |= scCtrl;
    if (alt)
        s |= scAlt;
    return s;
}

QString ShortCutText(TShortCut s) {
    const std::uint8_t vk = VirtualKeyOf(s);
    if (vk == 0)
        return QStringLiteral("Nenhuma");
    QString text;
    if (s & scShift)
        text += QStringLiteral("Shift+");
    if (s & scCtrl)
        text += QStringLiteral("Ctrl+");
    if (s & scAlt)
        text += QStringLiteral("Alt+");
    return text + keyName(vk);
}

std::uint8_t VirtualKeyFromQtKey(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<std::uint8_t>(qtKey);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<std::uint8_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<std::uint8_t>(0x70 + (qtKey - Qt::Key_F1));
    for (const auto& [qt, vk] : kNamedKeys)
        if (qt == qtKey)
            return vk;
    return 0;
}

}  // namespace quindra
