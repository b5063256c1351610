#include "window/WindowModes.h"

#include "window/TrayIcon.h"

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
    tray_->onDoubleClick = [this] { iconDoubleClicked(); };
    tray_->onMenuRequested = [this] { menuRequested(); };
    tray_->onShow = [this] { showFromMenu(); };
    tray_->onMinimize = [this] { minimizeFromMenu(); };
    tray_->onHide = [this] { hideFromMenu(); };
    tray_->onManual = [this] {
        if (trayEnabled_ && actions_.manual)
            actions_.manual();
    };
    tray_->onClose = [this] {
        if (trayEnabled_ && actions_.shutdown)
            actions_.shutdown();
    };
}

WindowModes::~WindowModes() {
    if (!tray_)
        return;
    tray_->onDoubleClick = nullptr;
    tray_->onMenuRequested = nullptr;
    tray_->onShow = nullptr;
    tray_->onMinimize = nullptr;
    tray_->onHide = nullptr;
    tray_->onManual = nullptr;
    tray_->onClose = nullptr;
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

void WindowModes::applyStartMode(bool startHidden, bool startMinimized) {
    minimizeToTray_ = true;
    setIconVisible(true);
    Mode start = startHidden ? Mode::Hidden : startMinimized ? Mode::InTray : Mode::Shown;
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

void WindowModes::iconDoubleClicked() {
    if (!trayEnabled_)
        return;
    window_.reveal();
    mode_ = Mode::Shown;
}

void WindowModes::showFromMenu() {
    if (!trayEnabled_)
        return;
    window_.reveal();
    mode_ = Mode::Shown;
}

void WindowModes::minimizeFromMenu() {
    if (!trayEnabled_)
        return;
    window_.conceal();
    mode_ = Mode::InTray;
}

void WindowModes::hideFromMenu() {
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

void WindowModes::hotKeyPressed() {
    window_.reveal();
    setIconVisible(true);
    mode_ = Mode::Shown;
}

void WindowModes::menuRequested() {
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
