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
    QString defaultDropFolder;  // used when the stored drop folder names no folder; empty
                                // when the user has no home folder
    QString homeFolder;         // the user's home folder, never a drop folder itself

    QString messageFolder() const { return appDir + QStringLiteral("Audio"); }
};

// The shared runtime state, one group per writer. The main window keeps the
// storage for the life of the process; each group is handed writable to the
// one class that owns it and every other reader sees it through a const
// RuntimeState.

// Written by the hold channel: set when the channel opens, cleared when the
// hardware goes away.
struct ChannelFlags {
    bool ChannelActive = false;
};

// Written by the message rotation: a swap in progress keeps the end of a
// pass from restarting the message (and so does a shutdown, through it).
struct SwapFlags {
    bool ReplaySuspended = false;
    bool SwapPauseActive = true;
};

// Written by the message rotation: the message on air.
struct MessageOnAir {
    QString CurrentAudioFile;  // full path, or empty
};

// Written by the start-up scan for the hold hardware.
struct ScanFlags {
    bool HardwareFound = false;
};

// Written by the settings page's handlers (and the start-up through them).
struct SettingCopies {
    QString PathAudio;  // the drop folder, as last read or typed
};

struct RuntimeState {
    int WindowsGeneration = kLinuxWindowsGeneration;
    ChannelFlags channel;
    SwapFlags swap;
    MessageOnAir onAir;
    ScanFlags scan;
    SettingCopies settings;
};

}  // namespace quindra
