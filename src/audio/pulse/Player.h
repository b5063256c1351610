#pragma once

#include <QHash>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "audio/pulse/DeviceDirectory.h"
#include "audio/pulse/PlaybackFeed.h"
#include "audio/pulse/PulseConnection.h"
#include "audio/pulse/PulseFormat.h"
#include "audio/pulse/PulseStream.h"
#include "audio/pulse/ReadAhead.h"
#include "core/LifeGuard.h"
#include "ports/WaveControl.h"

namespace quindra::pulse {

// The playing half of a wave control, on the UI thread: one playback stream
// kept open on the device, fed from a read-ahead buffer that a thread of its
// own fills with the file, pass after pass. The line therefore never waits
// for the UI thread: the end of a pass is reported (passEnded) when the next
// pass is already queued behind it.
//
// A file is played until stop(). When its sound is lost without a stop (the
// server or the device went away, the server ended the stream or suspended
// the device), the player says so and brings the same file back from its
// beginning as soon as the server and the device allow.
class Player {
public:
    struct Events {
        std::function<void()> passEnded;
        std::function<void(PlaybackLoss)> lost;
        std::function<void()> restored;
        std::function<void()> underrun;
        std::function<void(const std::vector<std::int16_t>&, int rate)> samples;
    };

    Player(PulseConnection& connection, DeviceDirectory& devices, Events events);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Both take effect on the stream the next time one is needed.
    void setDevice(const DeviceChoice& device);
    void setFormat(const WaveFormat& format);
    const WaveFormat& format() const { return format_; }

    // Starts `path` from its beginning, or, called from passEnded with the
    // file that plays, lets the pass under way go on. Throws WaveError, with
    // nothing changed, when the file plainly is no sound file; throws after
    // stopping when the server is there but the device cannot be opened.
    // With the server away, or going away as the stream opens, the file
    // plays as lost: the loss is told and the file comes on with the server.
    void play(const QString& path);
    void stop();
    bool playing() const { return playing_; }
    unsigned starts() const { return starts_; }
    std::uint64_t framesPlayed() const { return framesPlayed_.load(std::memory_order_relaxed); }
    // Whether the played samples are handed to onSamples.
    void setTap(bool on);
    // With levelling on, each file plays at the gain given for its path.
    void setLevelling(bool on);
    void setFileGain(const QString& path, std::optional<double> gainDb);

    void serverLost();
    void serverReady() { resume(); }
    void devicesChanged() { resume(); }

private:
    void open();
    void close();
    void begin(bool cut);
    void startLost();
    void resume();
    void loseSound(PlaybackLoss why);
    void passesQueued(std::uint64_t session, int passes);
    void fileFailed(std::uint64_t session);
    void outputFailed(std::uint64_t generation);
    void outputSuspended(std::uint64_t generation, bool suspended);
    void askToRunDevice();
    double gainOf(const QString& path) const;
    void retune();

    PulseConnection& connection_;
    DeviceDirectory& devices_;
    Events events_;
    LifeGuard guard_;  // before the stream and the decoder: they post until gone

    DeviceChoice device_ = DeviceChoice::systemDefault();
    WaveFormat format_;
    bool stale_ = false;  // device or format changed since the stream opened
    bool playing_ = false;
    bool lost_ = false;       // playing, but the sound is gone: waiting to resume
    bool suspended_ = false;  // playing on a device the server suspended
    bool lossTold_ = false;   // a loss was reported and is not restored yet
    bool inPassEnd_ = false;
    bool tap_ = false;
    bool levelling_ = false;
    QHash<QString, double> gains_;  // linear, by path
    QString path_;
    unsigned starts_ = 0;
    std::uint64_t session_ = 0;                    // which start a report is about
    std::uint64_t generation_ = 0;                 // which stream a report is about
    std::atomic<std::uint64_t> framesPlayed_ = 0;  // written by the feed, on the mainloop thread
    std::unique_ptr<Timer> retry_;                 // while the sound is lost or suspended

    ReadAhead readAhead_;
    std::unique_ptr<PlaybackFeed> feed_;  // outlives the stream that calls it
    std::unique_ptr<PulseStream> stream_;
};

}  // namespace quindra::pulse
