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
    // Whether a notification area shows the icon now. The icon exists
    // without one and appears when one comes up.
    virtual bool inNotificationArea() const = 0;
    // One of the animation's frames, from 0.
    virtual void setFrame(int frame) = 0;
    // Off: the icon ignores the mouse, its menu included.
    virtual void setEnabled(bool on) = 0;

    std::function<void()> onDoubleClick;
    // The right button, just before the menu opens.
    std::function<void()> onMenuRequested;
    // The menu's items "Maximizar", "Minimizar", "Ocultar", "Manual" and
    // "Fechar".
    std::function<void()> onShow;
    std::function<void()> onMinimize;
    std::function<void()> onHide;
    std::function<void()> onManual;
    std::function<void()> onClose;
};

}  // namespace quindra
