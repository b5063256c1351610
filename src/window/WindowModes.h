#pragma once

#include <functional>
#include <memory>

#include "core/EventLoop.h"

namespace quindra {

class TrayIcon;

// What the window modes need of the main window.
class ModalWindow {
public:
    virtual ~ModalWindow() = default;
    // Out of sight, with no taskbar entry.
    virtual void conceal() = 0;
    // Visible in its normal size, no longer minimised, brought to the front.
    virtual void reveal() = 0;
    // Brought to the front when it is on screen; nothing when it is not.
    virtual void bringForward() = 0;
};

// The main window's three modes (shown; in the tray; hidden, with no icon)
// and the ways between them: the tray icon and its menu, the minimise box and
// the restore hot-key. A mode is only entered while there is a way back from
// it: hidden needs the hot-key, the tray needs a notification area or the
// hot-key; otherwise the window takes the next mode that has one.
class WindowModes {
public:
    enum class Mode { Shown, InTray, Hidden };
    static constexpr int kCycleIntervalMs = 400;
    static constexpr int kFrames = 3;

    struct Actions {
        // The confirmed shutdown that the menu's "Fechar" asks for.
        std::function<void()> shutdown;
        // Whether the restore hot-key is registered with the desktop.
        std::function<bool()> hotKeyRegistered;
        // The menu's "Manual".
        std::function<void()> manual;
    };

    // The icon's animation starts with the first frame now and runs until
    // the tray is disabled at exit, whether the icon is visible or not.
    WindowModes(ModalWindow& window, TrayIcon* tray, EventLoop& loop, Actions actions);
    ~WindowModes();
    WindowModes(const WindowModes&) = delete;
    WindowModes& operator=(const WindowModes&) = delete;

    // Start-up: minimise-to-tray and the icon on, then the stored start mode
    // ("HideMode" wins over "EstadoJanela").
    void applyStartMode(bool startHidden, bool startMinimized);
    // Whether the run loop shows the window.
    bool showOnRun() const { return showOnRun_; }
    Mode mode() const { return mode_; }
    bool minimizeToTray() const { return minimizeToTray_; }
    int frame() const { return frame_; }

    void iconDoubleClicked();
    void showFromMenu();
    void minimizeFromMenu();
    void hideFromMenu();
    void hotKeyPressed();
    // The right button on the icon, before its menu opens.
    void menuRequested();
    // The minimise box: true when the window goes to the tray instead of
    // staying minimised.
    bool minimizeBoxPressed();
    // At exit: the icon ignores the mouse from now on, and stops turning.
    void disableTray();

private:
    void setIconVisible(bool on);
    bool hotKeyRegistered() const;
    bool trayShownNow() const;
    void nextFrame();

    ModalWindow& window_;
    TrayIcon* tray_;
    Actions actions_;
    std::unique_ptr<Timer> cycle_;
    Mode mode_ = Mode::Shown;
    int frame_ = 0;
    bool showOnRun_ = true;
    bool minimizeToTray_ = false;
    bool trayEnabled_ = true;
};

}  // namespace quindra
