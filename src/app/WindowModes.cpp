#include "app/WindowModes.h"

#include "app/TrayIcon.h"

namespace quindra {

WindowModes::WindowModes(ModalWindow& window, TrayIcon* tray, std::function<void()> fechar)
    : window_(window), tray_(tray), fechar_(std::move(fechar)) {
    if (!tray_)
        return;
    tray_->onDoubleClick = [this] { TrayDblClick(); };
    tray_->onMaximizar = [this] { Maximizar1Click(); };
    tray_->onMinimizar = [this] { Minimizar1Click(); };
    tray_->onOcultar = [this] { N1Click(); };
    tray_->onFechar = [this] {
        if (fechar_)
            fechar_();
    };
}

void WindowModes::setIconVisible(bool on) {
    if (tray_)
        tray_->setIconVisible(on);
}

bool WindowModes::iconVisible() const {
    return tray_ && tray_->iconVisible();
}

void WindowModes::applyStartMode(bool HideModeFlag, bool EstadoJanelaFlag) {
    minimizeToTray_ = true;
    setIconVisible(true);
    // The window is not shown yet: keeping it hidden is the run loop not
    // showing it.
    if (HideModeFlag) {
        setIconVisible(false);
        showOnRun_ = false;
        mode_ = Mode::Hidden;
    } else if (EstadoJanelaFlag) {
        showOnRun_ = false;
        mode_ = Mode::InTray;
    } else {
        showOnRun_ = true;
        mode_ = Mode::Shown;
    }
}

void WindowModes::TrayDblClick() {
    if (!trayEnabled_)
        return;
    window_.reveal();
    mode_ = Mode::Shown;
}

void WindowModes::Maximizar1Click() {
    window_.reveal();
    mode_ = Mode::Shown;
}

void WindowModes::Minimizar1Click() {
    window_.conceal();
    mode_ = Mode::InTray;
}

void WindowModes::N1Click() {
    window_.conceal();
    setIconVisible(false);
    mode_ = Mode::Hidden;
}

void WindowModes::GlobalHotKey1HotKey() {
    window_.reveal();
    setIconVisible(true);
    mode_ = Mode::Shown;
}

bool WindowModes::minimizeBoxPressed() {
    // With no icon to come back through, the window stays minimised.
    if (!minimizeToTray_ || !iconVisible())
        return false;
    window_.conceal();
    mode_ = Mode::InTray;
    return true;
}

void WindowModes::disableTray() {
    trayEnabled_ = false;
    if (tray_)
        tray_->setEnabled(false);
}

}  // namespace quindra
