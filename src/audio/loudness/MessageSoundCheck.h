#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>

#include "audio/loudness/SoundAnalyser.h"

namespace quindra {
class EventLoop;
class MessageLog;
class WaveControl;
struct MessageOnAir;
}  // namespace quindra

namespace quindra::loudness {

// What every message put on air will sound like on the phone. A file is
// measured while it settles in the drop folder (it stands there for a whole
// check before it is taken), so its figures are ready when it goes on air:
// the swap's line is followed by them, with a warning when the message is
// too quiet, clipped or mostly outside the band, and the swap's notice
// carries the same lines. The swap never waits for a measure: one that is not
// ready is finished on the copy on air and written when it ends.
//
// The player is given each message's levelling gain as soon as it is known.
class MessageSoundCheck {
public:
    // What tells one state of a dropped file from another.
    struct Version {
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
        std::int64_t changedNs = 0;
        std::uint64_t inode = 0;
        bool operator==(const Version&) const = default;
    };

    struct Ports {
        EventLoop& loop;
        MessageLog& log;
        WaveControl& player;
        MessageOnAir& onAir;  // written here: the notes of a swap's notice
        SoundAnalyser::Measure measure;
    };

    explicit MessageSoundCheck(Ports ports);

    // A message file of the drop folder, as a check found it.
    void dropped(const QString& path, const Version& version);
    // The start-up's message on air: measured for its gain, said nowhere.
    void startedWith(const QString& path);
    // A swap has put onAir.file on air, and is about to start it.
    void swapped();
    // Every file asked for has been measured and its result posted.
    bool idle() { return analyser_.idle(); }

private:
    struct Measured {
        Version version;
        std::uint64_t ticket = 0;
        std::optional<SoundFigures> figures;  // none while measuring
        QString error;
        std::uint64_t seenAt = 0;
    };

    void finished(const SoundAnalyser::Result& result);
    void announce(const std::optional<SoundFigures>& figures, const QString& error);
    void giveGain(const QString& path, const std::optional<SoundFigures>& figures);
    void forgetOldest();

    Ports p_;
    QHash<QString, Measured> dropped_;  // by path in the drop folder
    std::uint64_t looks_ = 0;
    // The measure of a message on air and whether its lines are owed.
    std::uint64_t onAirTicket_ = 0;
    bool linesOwed_ = false;
    SoundAnalyser analyser_;  // last: its results reach the members above
};

}  // namespace quindra::loudness
