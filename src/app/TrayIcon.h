#pragma once

#include <functional>

namespace quindra {

// The icon in the notification area, with its menu. The window modes set the
// callbacks; the icon calls them on the UI thread.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;

    virtual void setIconVisible(bool on) = 0;
    virtual bool iconVisible() const = 0;
    // Off: the icon ignores the mouse, its menu included.
    virtual void setEnabled(bool on) = 0;

    std::function<void()> onDoubleClick;
    // The menu's items "Maximizar", "Minimizar", "Ocultar" and "Fechar".
    std::function<void()> onMaximizar;
    std::function<void()> onMinimizar;
    std::function<void()> onOcultar;
    std::function<void()> onFechar;
};

}  // namespace quindra
