#include "audio/pulse/PlaybackFeed.h"

#include <pulse/context.h>
#include <pulse/rtclock.h>

#include <algorithm>
#include <cmath>

#include "audio/pulse/MemberCallback.h"

namespace quindra::pulse {

namespace {

constexpr std::size_t kChunkFrames = 4096;
// How soon a hungry stream looks at the buffer again.
constexpr pa_usec_t kLookAgainUsec = 10'000;
// A gain change is eased in with this time constant: short enough to be
// heard as at once, long enough not to click.
constexpr double kEaseSeconds = 0.02;

}  // namespace

PlaybackFeed::~PlaybackFeed() {
    if (retry_)
        api_->time_free(retry_);
}

void PlaybackFeed::setPlaying(bool on) {
    playing_ = on;
    sounded_ = false;
}

void PlaybackFeed::setGain(double gain, bool atOnce) {
    gain_ = gain;
    if (atOnce)
        applied_ = gain;
}

void PlaybackFeed::applyGain(std::size_t frames) {
    if (applied_ == 1.0 && gain_ == 1.0)
        return;
    const auto channels = static_cast<std::size_t>(format_.channels);
    const double ease = 1.0 - std::exp(-1.0 / (kEaseSeconds * format_.rate));
    for (std::size_t f = 0; f < frames; ++f) {
        if (applied_ != gain_) {
            applied_ += (gain_ - applied_) * ease;
            if (std::abs(gain_ - applied_) <= 1e-6 * gain_)
                applied_ = gain_;
        }
        for (std::size_t c = 0; c < channels; ++c) {
            std::int16_t& v = samples_[f * channels + c];
            const long scaled = std::lround(v * applied_);
            v = static_cast<std::int16_t>(std::clamp(scaled, -32768L, 32767L));
        }
    }
}

void PlaybackFeed::fill(pa_stream* s) {
    const std::size_t bytes = pa_stream_writable_size(s);
    // A stream whose server has just gone away takes nothing.
    if (bytes != static_cast<std::size_t>(-1))
        streamWritable(s, bytes);
}

void PlaybackFeed::streamWritable(pa_stream* s, std::size_t bytes) {
    stream_ = s;
    const auto frameBytes = static_cast<std::size_t>(format_.frameBytes());
    while (bytes >= frameBytes) {
        const std::size_t want = std::min(bytes / frameBytes, kChunkFrames);
        samples_.resize(want * static_cast<std::size_t>(format_.channels));
        const ReadAhead::Taken got = source_.take(samples_.data(), want);
        if (got.frames > 0) {
            applyGain(got.frames);
            write(s, got.frames);
            sounded_ = true;
        }
        if (got.passEnds > 0)
            events_.passesQueued(got.session, got.passEnds);
        bytes -= got.frames * frameBytes;
        if (got.frames < want) {
            if (playing_ && got.session != 0)
                lookAgainSoon(s);
            return;
        }
    }
}

void PlaybackFeed::streamUnderflow() {
    // Before this message's first sample the stream is empty on purpose:
    // it was just started, or cut for another file.
    if (playing_ && sounded_)
        events_.underrun();
}

void PlaybackFeed::lookAgainSoon(pa_stream* s) {
    pa_context* c = pa_stream_get_context(s);
    const pa_usec_t at = pa_rtclock_now() + kLookAgainUsec;
    if (retry_) {
        pa_context_rttime_restart(c, retry_, at);
        return;
    }
    retry_ = pa_context_rttime_new(c, at, memberCallback<&PlaybackFeed::lookAgain>, this);
}

void PlaybackFeed::lookAgain(pa_mainloop_api* api, pa_time_event* e, const struct timeval*) {
    api->time_free(e);
    retry_ = nullptr;
    if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY)
        fill(stream_);
}

void PlaybackFeed::write(pa_stream* s, std::size_t frames) {
    const auto channels = static_cast<std::size_t>(format_.channels);
    const std::size_t count = frames * channels;
    framesPlayed_.fetch_add(frames, std::memory_order_relaxed);
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
