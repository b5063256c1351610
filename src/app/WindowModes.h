#pragma once

#include <functional>

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
};

// The main window's three modes (shown; in the tray; hidden, with no icon)
// and the ways between them: the tray icon and its menu, the minimise box and
// the restore hot-key. Without a notification area there is no icon, and the
// hot-key is the way back.
class WindowModes {
public:
    enum class Mode { Shown, InTray, Hidden };

    // fechar is the confirmed shutdown that the menu's "Fechar" asks for.
    WindowModes(ModalWindow& window, TrayIcon* tray, std::function<void()> fechar);
    WindowModes(const WindowModes&) = delete;
    WindowModes& operator=(const WindowModes&) = delete;

    // Start-up: minimise-to-tray and the icon on, then the stored start mode
    // ("HideMode" wins over "EstadoJanela").
    void applyStartMode(bool HideModeFlag, bool EstadoJanelaFlag);
    // Whether the run loop shows the window.
    bool showOnRun() const { return showOnRun_; }
    Mode mode() const { return mode_; }
    bool minimizeToTray() const { return minimizeToTray_; }

    void TrayDblClick();
    void Maximizar1Click();
    void Minimizar1Click();
    void N1Click();
    void GlobalHotKey1HotKey();
    // The minimise box: true when the window goes to the tray instead of
    // staying minimised.
    bool minimizeBoxPressed();
    // At exit: the icon ignores the mouse from now on.
    void disableTray();

private:
    void setIconVisible(bool on);
    bool iconVisible() const;

    ModalWindow& window_;
    TrayIcon* tray_;
    std::function<void()> fechar_;
    Mode mode_ = Mode::Shown;
    bool showOnRun_ = true;
    bool minimizeToTray_ = false;
    bool trayEnabled_ = true;
};

}  // namespace quindra
