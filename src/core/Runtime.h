#pragma once

#include <QString>

namespace quindra {

// The Linux build presents itself as a modern system: the relaxed device-name
// rule, device loops without pauses, per-user autostart.
inline constexpr int kLinuxWindowsGeneration = 5;

// Where the program and its data live.
struct Paths {
    QString appDir;             // with a trailing '/'
    QString executablePath;     // the running binary, for the autostart entry
    QString defaultDropFolder;  // used when the stored drop folder names no folder

    QString messageFolder() const { return appDir + QStringLiteral("Audio"); }
};

// The shared runtime flags and the runtime copies of settings, owned by the
// main window for the life of the process.
struct RuntimeState {
    int WindowsGeneration = kLinuxWindowsGeneration;

    bool ChannelActive = false;
    bool ReplaySuspended = false;
    bool SwapPauseActive = true;
    bool HardwareFound = false;
    bool MailPending = false;

    bool SendMailFlag = false;
    bool TrocaMsgFlag = false;
    bool HardDescFlag = false;
    bool AuthSeguroFlag = false;
    bool HideModeFlag = false;
    bool EstadoJanelaFlag = false;

    QString PathAudio;         // the drop folder, as last read or typed
    QString CurrentAudioFile;  // full path of the message on air, or empty
};

// The properties of the SMTP client that the settings page keeps current; the
// mail transport reads them when it connects.
struct SmtpClientSettings {
    enum class Auth { Login };

    QString host;
    int port = 25;
    QString user;
    QString password;
    Auth auth = Auth::Login;
};

}  // namespace quindra
