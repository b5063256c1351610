#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "app/ErrorHandler.h"
#include "app/GlobalHotKey.h"
#include "app/StatusLog.h"
#include "app/WindowModes.h"
#include "audio/HoldChannel.h"
#include "config/SettingsHandlers.h"
#include "core/EventLoop.h"
#include "core/FormView.h"
#include "core/LocaleFormats.h"
#include "core/Runtime.h"
#include "hardware/HardwarePresence.h"
#include "hardware/HoldHardwareScan.h"
#include "mail/MailNotices.h"
#include "mail/MailOffice.h"
#include "rotation/MessageRotation.h"
#include "status/StatusPanel.h"

namespace quindra {

class Alert;
class AudioProbe;
class DevicePlatform;
class SessionAutostart;
class Clock;
class FileOperations;
class IdleSource;
class MessageBoxes;
class Registry;
class StatusView;
class SysInfo;
class TrayIcon;
class WaveControl;

// What the shell needs of the main window beyond its settings controls.
class ShellWindow : public FormView, public ModalWindow {
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
};

// The platform services every subsystem may use.
struct PlatformPorts {
    EventLoop& loop;
    Registry& registry;
    const Clock& clock;
    LocaleFormats formats;
    Paths paths;
    MessageBoxes& boxes;
    SessionAutostart& autostart;
    HotKeyRegistrar& hotKeys;
    std::function<void(const QString&)> echo;  // each status line, to standard output
};

// What the message swap does to files, and its test of a dropped file.
struct RotationPorts {
    FileOperations& files;
    AudioProbe& probe;
};

// How the hold hardware's USB and HID devices come and go.
struct HardwarePorts {
    DevicePlatform& devices;
};

// Where the status panel's figures come from, and the idle moment it is
// refreshed in.
struct StatusPorts {
    SysInfo& sysInfo;
    IdleSource& idle;
};

// The platform services the shell runs on, grouped by the subsystem that
// uses them.
struct ShellPorts {
    PlatformPorts platform;
    HoldChannel::Controls audio;
    RotationPorts rotation;
    HardwarePorts hardware;
    StatusPorts status;
};

// The main window's logic: start-up, the ways out, and the owner of the
// runtime state, timers and subsystems. The window builds the widgets and
// forwards their events here.
class Shell {
public:
    Shell(ShellPorts ports, ShellWindow& window);
    ~Shell();

    // Runs once while the window is being built, before it is first shown.
    void FormCreate();
    // The power button and the tray's "Fechar": a confirmed shutdown.
    void SpeedButton3Click();
    // The window is asked to close; always allowed.
    bool FormCloseQuery();
    // Orderly release at the end of the run loop.
    void FormDestroy();

    // Whether the run loop shows the window (the start mode).
    bool showOnRun() const { return modes_.showOnRun(); }

    // Control events from the window; a failure reaches the error box.
    void onFieldChanged(Field f, const QString& text);
    void onBoxClicked(Box b, bool checked);
    void onHotKeyChanged(ShortCut key);
    // The browse button's file, chosen in the dialog: its folder becomes the
    // drop folder, once the operator agrees to what that means for the files
    // beside it.
    void onDropFileChosen(const QString& file);
    // The "Teste" button: a mail with the settings as the page shows them.
    void sendTestMail();

    bool write(const QString& message) { return log_.write(message); }

    const RuntimeState& state() const { return state_; }
    ErrorHandler& errors() { return errors_; }
    StatusLog& log() { return log_; }
    GlobalHotKey& globalHotKey() { return hotKey_; }
    WindowModes& modes() { return modes_; }
    MailNotices& mail() { return mail_; }
    MailOffice& office() { return office_; }
    Timer& checkTimer() { return rotation_.checkTimer(); }
    MessageRotation& rotation() { return rotation_; }
    HoldChannel& channel() { return channel_; }
    HardwarePresence& presence() { return presence_; }
    StatusPanel& statusPanel() { return statusPanel_; }
    CpuUsageGauge& cpuGauge() { return cpuGauge_; }
    const Paths& paths() const { return ports_.platform.paths; }

private:
    class StartupReader;
    void loadDropFolder(StartupReader& read);
    void loadSettingsPage(StartupReader& read);
    void loadMailOptions(StartupReader& read);
    void showOnAir();

    ShellPorts ports_;
    ShellWindow& window_;
    ErrorHandler errors_;
    RuntimeState state_;
    StatusLog log_;
    GlobalHotKey hotKey_;
    WindowModes modes_;
    MailNotices mail_;
    MailOffice office_;
    SettingsHandlers handlers_;
    MessageRotation rotation_;
    HoldChannel channel_;
    HoldHardwareScan scan_;
    HardwarePresence presence_;
    StatusPanel statusPanel_;
    CpuUsageGauge cpuGauge_;
    bool destroyed_ = false;
};

}  // namespace quindra
