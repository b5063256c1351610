#pragma once

#include <QString>
#include <QStringList>

namespace quindra {

// Where the program and its data live.
struct Paths {
    QString appDir;             // with a trailing '/'
    QString executablePath;     // the running binary, for the autostart entry
    QString defaultDropFolder;  // used when the stored drop folder names no folder; empty
                                // when the user has no home folder
    QString homeFolder;         // the user's home folder, never a drop folder itself
    QString storeFile;          // the settings store's file; its folder is never a drop folder
    QStringList manualPlaces;   // where the manual's HTML form may be, the installed one first

    QString messageFolder() const { return appDir + QStringLiteral("Audio"); }
};

// The shared runtime state, one group per writer. The shell keeps the
// storage for the life of the process; each group is handed writable to the
// one class that owns it and every other reader sees it through a const
// RuntimeState.

// Written by the hold channel.
struct ChannelFlags {
    // Set when the start timer opens the channel, cleared when the hardware
    // goes away: the message loops, and the drop folder is watched, only
    // while it is set.
    bool active = false;
};

// Written by the message rotation: a swap in progress keeps the end of a
// pass from restarting the message (and so does a shutdown, through it).
struct SwapFlags {
    bool replaySuspended = false;
    // Armed before a swap's pause; its timer clears it to end the pause.
    bool pauseActive = true;
};

// The history of the messages as the store keeps it and the main page
// shows it; the notice of a swap quotes it.
struct MessageHistory {
    QString previousFile;   // the name of the message before the one on air
    QString since;          // when the message on air went on air
    QString previousSince;  // when the one before went on air
    QString previousUntil;  // and when it went off air
};

// Written by the message rotation (the history also by the start-up, as
// stored): the message on air.
struct MessageOnAir {
    QString file;  // full path, or empty
    MessageHistory history;
    // What the last swap's message will sound like on the phone, as its
    // lines said it, for the swap's notice; empty when nothing was measured.
    QStringList soundNotes;
};

// Written by the start-up scan for the hold hardware.
struct ScanFlags {
    bool hardwareFound = false;
};

// Written by the settings page's changes (and the start-up, as stored).
struct SettingCopies {
    QString dropFolder;  // as last read or typed
};

struct RuntimeState {
    ChannelFlags channel;
    SwapFlags swap;
    MessageOnAir onAir;
    ScanFlags scan;
    SettingCopies settings;
};

}  // namespace quindra
