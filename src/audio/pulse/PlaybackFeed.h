#pragma once

#include <pulse/mainloop-api.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "audio/pulse/PulseFormat.h"
#include "audio/pulse/PulseStream.h"
#include "audio/pulse/ReadAhead.h"

namespace quindra::pulse {

// Feeds one playback stream from the read-ahead buffer, on the mainloop
// thread with the lock held (which guards every member; the UI thread takes
// the lock too). It only copies: the buffer is filled by the decoding
// thread. When the buffer has less than the server asks for (the file is
// still being opened), it looks again shortly, since the server asks once.
class PlaybackFeed final : public PulseStream::Handler {
public:
    // Called with the lock held, on the mainloop thread.
    struct Events {
        // `passes` passes of `session` had their last sample queued.
        std::function<void(std::uint64_t session, int passes)> passesQueued;
        // Samples as queued, mono, while tapped.
        std::function<void(std::vector<std::int16_t>)> played;
        // The stream died on its own (its device went away, it was ended).
        std::function<void()> failed;
        // The server ran out of sound while a message played.
        std::function<void()> underrun;
        // The device was suspended, or runs again.
        std::function<void(bool suspended)> suspended;
    };

    // `framesPlayed` counts every frame the stream takes, for whoever
    // watches that the line carries sound.
    PlaybackFeed(const WaveFormat& format, ReadAhead& source, pa_mainloop_api* api, Events events,
                 std::atomic<std::uint64_t>& framesPlayed)
        : format_(format),
          source_(source),
          api_(api),
          events_(std::move(events)),
          framesPlayed_(framesPlayed) {}
    ~PlaybackFeed() override;  // with the lock held
    PlaybackFeed(const PlaybackFeed&) = delete;
    PlaybackFeed& operator=(const PlaybackFeed&) = delete;

    // A message plays (and its gaps count as underruns) or not.
    void setPlaying(bool on);
    void setTap(bool on) { tap_ = on; }
    // The gain every sample is multiplied by from now on. A new file jumps
    // to it (`atOnce`); on a file that plays it is eased in over a few
    // milliseconds, so that the change makes no click. At 1 the samples go
    // out untouched.
    void setGain(double gain, bool atOnce);
    // Writes as much as the stream takes now.
    void fill(pa_stream* s);

    void streamWritable(pa_stream* s, std::size_t bytes) override;
    void streamFailed() override { events_.failed(); }
    void streamUnderflow() override;
    void streamSuspended(pa_stream*, bool suspended) override { events_.suspended(suspended); }

private:
    void applyGain(std::size_t frames);
    void write(pa_stream* s, std::size_t frames);
    void lookAgainSoon(pa_stream* s);
    void lookAgain(pa_mainloop_api*, pa_time_event*, const struct timeval*);

    const WaveFormat format_;
    ReadAhead& source_;
    pa_mainloop_api* const api_;
    const Events events_;
    std::atomic<std::uint64_t>& framesPlayed_;
    bool playing_ = false;
    bool sounded_ = false;  // this message has reached the stream
    bool tap_ = false;
    double gain_ = 1.0;            // the gain asked for
    double applied_ = 1.0;         // the gain of the last frame, on its way to gain_
    pa_stream* stream_ = nullptr;  // the one stream that calls this feed
    pa_time_event* retry_ = nullptr;
    std::vector<std::int16_t> samples_;  // one chunk as taken
    std::vector<std::uint8_t> bytes_;    // the same chunk in an 8-bit stream format
};

}  // namespace quindra::pulse
