#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "audio/pulse/DeviceDirectory.h"
#include "audio/pulse/LifeGuard.h"
#include "audio/pulse/PlaybackFeed.h"
#include "audio/pulse/PulseConnection.h"
#include "audio/pulse/PulseStream.h"
#include "audio/pulse/WaveFormat.h"

namespace quindra::pulse {

// The playing half of a wave control, on the UI thread: one playback stream
// kept open on the device, and the file it plays.
//
// A file started while the previous one still plays cuts it off; a file
// started after the previous one was all queued (its end is reported through
// onDone) joins the same stream behind it. The stream keeps about half a
// second queued in the server, which is the time the UI thread has to answer
// onDone before the join would leave a gap.
class Player {
public:
    Player(PulseConnection& connection, DeviceDirectory& devices, std::function<void()> onDone,
           std::function<void(const std::vector<std::int16_t>&, int rate)> onSamples);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Both take effect on the stream the next time one is needed.
    void setDevice(const QString& name);
    void setFormat(const WaveFormat& format);
    const WaveFormat& format() const { return format_; }

    // Throws WaveError, with nothing changed, when the file cannot be
    // played; throws after stopping when the device cannot be opened.
    void play(const QString& path);
    void stop();
    bool playing() const { return playing_; }
    // Whether the played samples are handed to onSamples.
    void setTap(bool on);

    // While the server is away the file counts as playing; when the server
    // (or, after that, the device) is back it starts again from the start.
    void serverLost();
    void serverReady() { resume(); }
    void devicesChanged() { resume(); }

private:
    void open();
    void close();
    void resume();
    void begin(std::unique_ptr<FileDecoder> decoder, bool cut);
    void fileQueued(std::uint64_t ticket);
    void playOutIfAlone();
    void outputFailed(std::uint64_t generation);

    PulseConnection& connection_;
    DeviceDirectory& devices_;
    std::function<void()> onDone_;
    std::function<void(const std::vector<std::int16_t>&, int)> onSamples_;
    LifeGuard guard_;  // before the stream: it posts until the stream is gone

    QString device_;
    WaveFormat format_;
    bool stale_ = false;  // device or format changed since the stream opened
    bool playing_ = false;
    bool resumePending_ = false;  // playing, waiting for the server or the device
    bool tap_ = false;
    QString path_;
    std::uint64_t ticket_ = 0;      // which file an end-of-file report is about
    std::uint64_t generation_ = 0;  // which stream a failure report is about

    std::unique_ptr<PlaybackFeed> feed_;  // outlives the stream that calls it
    std::unique_ptr<PulseStream> stream_;
};

}  // namespace quindra::pulse
