#include "audio/pulse/PlaybackFeed.h"

#include <algorithm>

namespace quindra::pulse {

namespace {

constexpr std::size_t kChunkFrames = 4096;

}  // namespace

void PlaybackFeed::start(std::unique_ptr<FileDecoder> decoder, std::uint64_t ticket) {
    decoder_ = std::move(decoder);
    ticket_ = ticket;
}

void PlaybackFeed::fill(pa_stream* s) {
    const std::size_t bytes = pa_stream_writable_size(s);
    // A stream whose server has just gone away takes nothing.
    if (bytes != static_cast<std::size_t>(-1))
        streamWritable(s, bytes);
}

void PlaybackFeed::streamWritable(pa_stream* s, std::size_t bytes) {
    const auto frameBytes = static_cast<std::size_t>(format_.frameBytes());
    while (decoder_ && bytes >= frameBytes) {
        const std::size_t want = std::min(bytes / frameBytes, kChunkFrames);
        samples_.resize(want * static_cast<std::size_t>(format_.channels));
        const std::size_t got = decoder_->read(samples_.data(), want);
        if (got > 0)
            write(s, got);
        bytes -= got * frameBytes;
        if (decoder_->ended()) {
            decoder_.reset();
            events_.fileQueued(ticket_);
        }
    }
}

void PlaybackFeed::write(pa_stream* s, std::size_t frames) {
    const auto channels = static_cast<std::size_t>(format_.channels);
    const std::size_t count = frames * channels;
    if (format_.bits == 8) {
        bytes_.resize(count);
        std::transform(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(count),
                       bytes_.begin(),
                       [](std::int16_t v) { return static_cast<std::uint8_t>((v >> 8) + 128); });
        pa_stream_write(s, bytes_.data(), count, nullptr, 0, PA_SEEK_RELATIVE);
    } else {
        pa_stream_write(s, samples_.data(), count * sizeof(std::int16_t), nullptr, 0,
                        PA_SEEK_RELATIVE);
    }
    if (!tap_)
        return;
    std::vector<std::int16_t> mono(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        int sum = 0;
        for (std::size_t c = 0; c < channels; ++c)
            sum += samples_[f * channels + c];
        mono[f] = static_cast<std::int16_t>(sum / static_cast<int>(channels));
    }
    events_.played(std::move(mono));
}

}  // namespace quindra::pulse
