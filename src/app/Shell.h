#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "app/ProgramSettings.h"
#include "audio/HoldChannel.h"
#include "audio/LineStatus.h"
#include "audio/loudness/MessageSoundCheck.h"
#include "core/EventLoop.h"
#include "core/LocaleFormats.h"
#include "core/Runtime.h"
#include "hardware/HardwarePresence.h"
#include "hardware/HoldHardwareScan.h"
#include "mail/MailNotices.h"
#include "mail/MailOffice.h"
#include "metrics/LineMetrics.h"
#include "rotation/MessageRotation.h"
#include "status/StatusPanel.h"
#include "window/ErrorHandler.h"
#include "window/GlobalHotKey.h"
#include "window/ProgramWindow.h"
#include "window/StatusLog.h"
#include "window/WindowCommands.h"
#include "window/WindowModes.h"

namespace quindra {

class Alert;
class AudioProbe;
class DevicePlatform;
class SessionAutostart;
class Clock;
class DocumentViewer;
class FileOperations;
class FolderWatch;
class IdleSource;
class MessageBoxes;
class PasswordKeeper;
class Registry;
class StatusView;
class SysInfo;
class TrayIcon;
class WaveControl;

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
    // The desktop's keyring for the SMTP password; none: the store keeps it.
    PasswordKeeper* passwords = nullptr;
    // Shows the manual; none: the program runs without a display.
    DocumentViewer* viewer = nullptr;
};

// What the message swap does to files, and its test of a dropped file.
struct RotationPorts {
    FileOperations& files;
    AudioProbe& probe;
    // How a message is measured for what it will sound like on the phone;
    // none: nothing is measured.
    loudness::SoundAnalyser::Measure measure = nullptr;
    FolderWatch* watch = nullptr;  // none: the drop folder's checks alone
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
    // The length of a message file in milliseconds, when it can be read; none
    // leaves the length unknown.
    std::function<std::optional<qint64>(const QString&)> messageLength = {};
};

// The program: the owner of the runtime state, the timers and every
// subsystem, with the start-up sequence and the ways out. The window shows
// and asks; the shell decides.
class Shell final : public WindowCommands {
public:
    Shell(ShellPorts ports, ProgramWindow& window);
    ~Shell() override;
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // Runs once, before the window is first shown. `lineTaken`, when not
    // empty, says that another program already plays into the hold hardware:
    // it is written where the hardware would be looked for, and this program
    // never opens the hold channel.
    void start(const QString& lineTaken = {});
    // Orderly release at the end of the run loop; the destructor runs it
    // when nobody did.
    void finish();

    // The power button and the tray's "Fechar": a confirmed shutdown.
    void confirmShutdown() override;
    // Every other way out (the close box, a stop signal): always allowed.
    void closeRequested() override;
    void showPlayerOnViews() override;
    void minimizeBoxPressed() override;
    void openManual() override;

    // Whether the run loop shows the window (the start mode).
    bool showOnRun() const { return modes_.showOnRun(); }

    const RuntimeState& state() const { return state_; }
    ProgramSettings& settings() { return settings_; }
    ErrorHandler& errors() { return errors_; }
    StatusLog& log() { return log_; }
    GlobalHotKey& globalHotKey() { return hotKey_; }
    WindowModes& modes() { return modes_; }
    MailNotices& mail() { return mail_; }
    MailOffice& office() { return office_; }
    Timer& checkTimer() { return rotation_.checkTimer(); }
    MessageRotation& rotation() { return rotation_; }
    HoldChannel& channel() { return channel_; }
    // On air or why not; listeners added before start() hear the start-up.
    LineStatus& line() { return line_; }
    HardwarePresence& presence() { return presence_; }
    StatusPanel& statusPanel() { return statusPanel_; }
    CpuUsageGauge& cpuGauge() { return cpuGauge_; }
    const Paths& paths() const { return ports_.platform.paths; }

private:
    class StartupReader;
    void loadDropFolder(StartupReader& read);
    PageSettings loadSettingsPage(StartupReader& read, const QString& password);
    QString settlePassword(StartupReader& read);
    void loadMailOptions(StartupReader& read, const QString& password);
    void messageChanged();
    void feedMetrics(const LineState& line);

    ShellPorts ports_;
    ProgramWindow& window_;
    ErrorHandler errors_;
    RuntimeState state_;
    LineStatus line_;
    std::optional<OffAirReason> metricsFault_;  // the fault the metrics last counted
    StatusLog log_;
    GlobalHotKey hotKey_;
    WindowModes modes_;
    MailNotices mail_;
    MailOffice office_;
    LineMetrics metrics_;
    ProgramSettings settings_;
    std::unique_ptr<loudness::MessageSoundCheck> sound_;
    MessageRotation rotation_;
    HoldChannel channel_;
    HoldHardwareScan scan_;
    HardwarePresence presence_;
    StatusPanel statusPanel_;
    CpuUsageGauge cpuGauge_;
    bool finished_ = false;
};

}  // namespace quindra
