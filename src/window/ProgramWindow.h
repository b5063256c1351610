#pragma once

#include "audio/LineStatus.h"
#include "config/Settings.h"
#include "core/Runtime.h"
#include "window/StatusLog.h"
#include "window/WindowModes.h"

namespace quindra {

class Alert;
class StatusView;
class TrayIcon;
class WaveControl;

// What the program needs of its main window.
class ProgramWindow : public ModalWindow {
public:
    virtual LogView& logView() = 0;
    virtual StatusView& statusView() = 0;
    // The notification-area icon; null when the program runs without a
    // desktop.
    virtual TrayIcon* tray() = 0;
    // Points the level, spectrum and waveform views, in that order, at a
    // wave control's audio.
    virtual void setViewsSource(WaveControl* control) = 0;
    // The slide-in notice window.
    virtual Alert& alert() = 0;
    // The settings page, and the company lines of the header, as stored.
    // Showing them is not a change.
    virtual void showSettings(const PageSettings& page) = 0;
    // The message on air and the history of the messages, on the main page.
    virtual void showOnAir(const MessageOnAir& onAir) = 0;
    // The line's state: the main page's band, the tray icon and its
    // tooltip, and the window's icon. Cheap: it runs on every change.
    virtual void showLine(const LineState& line) = 0;
};

}  // namespace quindra
