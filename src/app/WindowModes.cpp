#include "app/WindowModes.h"

#include "app/TrayIcon.h"

namespace quindra {

WindowModes::WindowModes(ModalWindow& window, TrayIcon* tray, EventLoop& loop, Actions actions)
    : window_(window),
      tray_(tray),
      actions_(std::move(actions)),
      cycle_(loop.createTimer(kCycleIntervalMs, [this] { nextFrame(); })) {
    if (!tray_)
        return;
    tray_->setFrame(0);
    cycle_->setEnabled(true);
    tray_->onDoubleClick = [this] { TrayDblClick(); };
    tray_->onMenuRequested = [this] { TrayMenuRequested(); };
    tray_->onMaximizar = [this] { Maximizar1Click(); };
    tray_->onMinimizar = [this] { Minimizar1Click(); };
    tray_->onOcultar = [this] { N1Click(); };
    tray_->onFechar = [this] {
        if (trayEnabled_ && actions_.fechar)
            actions_.fechar();
    };
}

WindowModes::~WindowModes() {
    if (!tray_)
        return;
    tray_->onDoubleClick = nullptr;
    tray_->onMenuRequested = nullptr;
    tray_->onMaximizar = nullptr;
    tray_->onMinimizar = nullptr;
    tray_->onOcultar = nullptr;
    tray_->onFechar = nullptr;
}

void WindowModes::nextFrame() {
    frame_ = (frame_ + 1) % kFrames;
    if (tray_)
        tray_->setFrame(frame_);
}

void WindowModes::setIconVisible(bool on) {
    if (tray_)
        tray_->setIconVisible(on);
}

bool WindowModes::hotKeyRegistered() const {
    return actions_.hotKeyRegistered && actions_.hotKeyRegistered();
}

bool WindowModes::trayShownNow() const {
    return tray_ && tray_->inNotificationArea();
}

void WindowModes::applyStartMode(bool HideModeFlag, bool EstadoJanelaFlag) {
    minimizeToTray_ = true;
    setIconVisible(true);
    Mode start = HideModeFlag ? Mode::Hidden : EstadoJanelaFlag ? Mode::InTray : Mode::Shown;
    if (start == Mode::Hidden && !hotKeyRegistered())
        start = Mode::InTray;
    // The icon shows as soon as a notification area comes up (a panel
    // started after the program); until then the hot-key is the way back.
    if (start == Mode::InTray && !(trayShownNow() || (tray_ && hotKeyRegistered())))
        start = Mode::Shown;
    // The window is not shown yet: keeping it hidden is the run loop not
    // showing it.
    mode_ = start;
    showOnRun_ = start == Mode::Shown;
    if (start == Mode::Hidden)
        setIconVisible(false);
}

void WindowModes::TrayDblClick() {
    if (!trayEnabled_)
        return;
    window_.reveal();
    mode_ = Mode::Shown;
}

void WindowModes::Maximizar1Click() {
    if (!trayEnabled_)
        return;
    window_.reveal();
    mode_ = Mode::Shown;
}

void WindowModes::Minimizar1Click() {
    if (!trayEnabled_)
        return;
    window_.conceal();
    mode_ = Mode::InTray;
}

void WindowModes::N1Click() {
    if (!trayEnabled_)
        return;
    window_.conceal();
    // Without the hot-key the icon is the only way back: it stays.
    if (!hotKeyRegistered()) {
        mode_ = Mode::InTray;
        return;
    }
    setIconVisible(false);
    mode_ = Mode::Hidden;
}

void WindowModes::GlobalHotKey1HotKey() {
    window_.reveal();
    setIconVisible(true);
    mode_ = Mode::Shown;
}

void WindowModes::TrayMenuRequested() {
    if (trayEnabled_)
        window_.bringForward();
}

bool WindowModes::minimizeBoxPressed() {
    // With no icon on screen to come back through, the window stays
    // minimised on the taskbar.
    if (!minimizeToTray_ || mode_ != Mode::Shown || !trayShownNow() || !tray_->iconVisible())
        return false;
    window_.conceal();
    mode_ = Mode::InTray;
    return true;
}

void WindowModes::disableTray() {
    trayEnabled_ = false;
    cycle_->setEnabled(false);
    if (tray_)
        tray_->setEnabled(false);
}

}  // namespace quindra
