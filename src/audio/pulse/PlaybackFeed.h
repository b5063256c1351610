#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "audio/pulse/FileDecoder.h"
#include "audio/pulse/PulseStream.h"
#include "audio/pulse/WaveFormat.h"

namespace quindra::pulse {

// What one playback stream plays: the file being decoded, written into the
// stream as the server asks for it. The UI thread hands it a file, the
// stream's write callback takes the audio; both do so with the mainloop lock
// held, which guards every member.
//
// It never writes anything of its own: between the last sample of one file
// and the first of the next there is nothing, so a file that follows in time
// joins the stream without a gap.
class PlaybackFeed final : public PulseStream::Handler {
public:
    // Called with the lock held, on the thread that wrote to the stream.
    struct Events {
        // The file's last sample is queued.
        std::function<void(std::uint64_t ticket)> fileQueued;
        // Samples as queued, mono, while tapped.
        std::function<void(std::vector<std::int16_t>)> played;
        // The stream died on its own (its device went away).
        std::function<void()> failed;
    };

    PlaybackFeed(const WaveFormat& format, Events events)
        : format_(format), events_(std::move(events)) {}

    // Continues the stream with this file; `ticket` comes back in fileQueued.
    void start(std::unique_ptr<FileDecoder> decoder, std::uint64_t ticket);
    // Forgets the file (the caller flushes what the server holds).
    void clear() { decoder_.reset(); }
    void setTap(bool on) { tap_ = on; }
    // Writes as much as the stream takes now (after start, on the UI thread).
    void fill(pa_stream* s);

    void streamWritable(pa_stream* s, std::size_t bytes) override;
    void streamFailed() override { events_.failed(); }

private:
    void write(pa_stream* s, std::size_t frames);

    const WaveFormat format_;
    const Events events_;
    std::unique_ptr<FileDecoder> decoder_;
    std::uint64_t ticket_ = 0;
    bool tap_ = false;
    std::vector<std::int16_t> samples_;  // one chunk as decoded
    std::vector<std::uint8_t> bytes_;    // the same chunk in an 8-bit stream format
};

}  // namespace quindra::pulse
