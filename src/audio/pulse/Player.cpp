#include "audio/pulse/Player.h"

#include <pulse/introspect.h>

#include <cmath>
#include <utility>

#include "audio/pulse/FileDecoder.h"

namespace quindra::pulse {

namespace {

// What the server holds ahead of the line; the read-ahead buffer holds more.
constexpr pa_usec_t kQueuedUsec = 250'000;
constexpr pa_usec_t kRefillUsec = 20'000;
// Decoded ahead of the stream: covers a slow disk or a loaded machine.
constexpr int kAheadSeconds = 2;
// How often a lost sound is tried again when no server event says more.
constexpr int kRetryMs = 2000;
constexpr qsizetype kGainsKept = 32;

pa_buffer_attr bufferFor(const pa_sample_spec& sampleSpec) {
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kQueuedUsec, &sampleSpec));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(pa_usec_to_bytes(kRefillUsec, &sampleSpec));
    attr.fragsize = static_cast<std::uint32_t>(-1);
    return attr;
}

}  // namespace

Player::Player(PulseConnection& connection, DeviceDirectory& devices, Events events)
    : connection_(connection),
      devices_(devices),
      events_(std::move(events)),
      guard_(connection.loop()),
      retry_(connection.loop().createTimer(kRetryMs, [this] { resume(); })),
      readAhead_(static_cast<std::size_t>(kAheadSeconds * 48000),
                 [this](std::uint64_t session, const QString&) {
                     guard_.post([this, session] { fileFailed(session); });
                 }) {}

Player::~Player() {
    close();
}

void Player::setDevice(const DeviceChoice& device) {
    if (device == device_)
        return;
    device_ = device;
    stale_ = true;
}

void Player::setFormat(const WaveFormat& format) {
    if (format == format_)
        return;
    format_ = format;
    stale_ = true;
}

void Player::setTap(bool on) {
    tap_ = on;
    if (!feed_)
        return;
    PulseConnection::Lock lock(connection_);
    feed_->setTap(on);
}

void Player::setLevelling(bool on) {
    if (on == levelling_)
        return;
    levelling_ = on;
    retune();
}

void Player::setFileGain(const QString& path, std::optional<double> gainDb) {
    // Each message on air leaves its gain behind; past a few dozen, only the
    // file that plays keeps its own.
    if (gains_.size() >= kGainsKept && !gains_.contains(path))
        gains_.removeIf([this](const auto& kept) { return kept.key() != path_; });
    if (gainDb)
        gains_.insert(path, std::pow(10.0, *gainDb / 20.0));
    else
        gains_.remove(path);
    if (path == path_)
        retune();
}

double Player::gainOf(const QString& path) const {
    return levelling_ ? gains_.value(path, 1.0) : 1.0;
}

// The file that plays takes its gain now, eased in.
void Player::retune() {
    if (!feed_)
        return;
    PulseConnection::Lock lock(connection_);
    feed_->setGain(gainOf(path_), false);
}

void Player::play(const QString& path) {
    if (inPassEnd_ && playing_ && path == path_)
        return;
    FileDecoder::checkSoundFile(path);
    path_ = path;
    ++starts_;
    suspended_ = false;
    if (connection_.down()) {
        startLost();
        return;
    }
    lost_ = false;
    retry_->setEnabled(false);
    bool cut = playing_;
    if (stale_ || !stream_) {
        try {
            open();
        } catch (const WaveError&) {
            bool serverAway = false;
            {
                PulseConnection::Lock lock(connection_);
                serverAway = !connection_.reachable(lock);
            }
            if (serverAway) {
                // It died as the stream opened, before anyone heard of it.
                startLost();
                return;
            }
            playing_ = false;
            ++session_;
            readAhead_.stop();
            throw;
        }
        cut = false;
    }
    begin(cut);
    if (std::exchange(lossTold_, false) && events_.restored)
        events_.restored();
}

// The file should sound but the server is away: it is lost from its first
// sample, and comes on from its beginning when the server is back.
void Player::startLost() {
    close();
    playing_ = true;
    loseSound(PlaybackLoss::ServerGone);
}

void Player::stop() {
    ++session_;
    playing_ = false;
    lost_ = false;
    suspended_ = false;
    // A loss told stays told: the sound that comes with the next play() is
    // reported as restored, or the last word on the line would be "lost"
    // (a swap stops and restarts the message while the server is away).
    retry_->setEnabled(false);
    readAhead_.stop();
    if (!stream_)
        return;
    PulseConnection::Lock lock(connection_);
    feed_->setPlaying(false);
    stream_->flush();
}

// The file from its beginning on the open stream; what the server still
// holds of another file is dropped first when `cut`.
void Player::begin(bool cut) {
    playing_ = true;
    const std::uint64_t session = ++session_;
    readAhead_.start(path_, format_.rate, format_.channels, session);
    PulseConnection::Lock lock(connection_);
    if (cut)
        stream_->flush();
    // A file starts at its own gain from its first sample.
    feed_->setGain(gainOf(path_), true);
    feed_->setPlaying(true);
    feed_->fill(stream_->get());
}

void Player::serverLost() {
    close();
    if (playing_ && !lost_)
        loseSound(PlaybackLoss::ServerGone);
}

void Player::loseSound(PlaybackLoss why) {
    lost_ = true;
    ++session_;
    readAhead_.stop();
    retry_->setEnabled(true);
    if (!lossTold_) {
        lossTold_ = true;
        if (events_.lost)
            events_.lost(why);
    }
}

// A lost sound comes back on the same device, from the file's beginning, as
// soon as the device can be opened; a suspended device is asked to run again.
void Player::resume() {
    if (suspended_) {
        askToRunDevice();
        return;
    }
    if (!playing_ || !lost_ || connection_.down())
        return;
    try {
        open();
    } catch (const WaveError&) {
        return;  // not back yet; the next device change or retry tries again
    }
    lost_ = false;
    retry_->setEnabled(false);
    begin(false);
    if (std::exchange(lossTold_, false) && events_.restored)
        events_.restored();
}

void Player::open() {
    close();
    // A new stream asks for audio at once: it must find nothing of what the
    // old one was playing, only the file that begin() starts.
    ++session_;
    readAhead_.stop();
    const std::string sink = devices_.resolve(DeviceKind::Playback, device_);
    const std::uint64_t generation = ++generation_;
    const int rate = format_.rate;
    PlaybackFeed::Events events{
        [this](std::uint64_t session, int passes) {
            guard_.post([this, session, passes] { passesQueued(session, passes); });
        },
        [this, rate](std::vector<std::int16_t> s) {
            guard_.post([this, rate, s = std::move(s)] {
                if (events_.samples)
                    events_.samples(s, rate);
            });
        },
        [this, generation] { guard_.post([this, generation] { outputFailed(generation); }); },
        [this] {
            guard_.post([this] {
                if (playing_ && events_.underrun)
                    events_.underrun();
            });
        },
        [this, generation](bool suspended) {
            guard_.post([this, generation, suspended] { outputSuspended(generation, suspended); });
        },
    };
    auto feed = std::make_unique<PlaybackFeed>(format_, readAhead_, connection_.api(),
                                               std::move(events), framesPlayed_);
    feed->setTap(tap_);  // no stream calls it yet
    const pa_sample_spec sampleSpec = sampleSpecOf(format_);
    const PulseStream::Params params{PulseStream::Direction::Playback, "Mensagem de espera",
                                     sampleSpec, bufferFor(sampleSpec), sink};
    auto stream = std::make_unique<PulseStream>(connection_, params, *feed);
    feed_ = std::move(feed);
    stream_ = std::move(stream);
    stale_ = false;
}

void Player::close() {
    // A suspension belongs to the stream: the next one starts unsuspended.
    suspended_ = false;
    PulseConnection::Lock lock(connection_);
    stream_.reset();
    feed_.reset();
}

void Player::passesQueued(std::uint64_t session, int passes) {
    for (int i = 0; i < passes && session == session_ && playing_; ++i) {
        inPassEnd_ = true;
        try {
            if (events_.passEnded)
                events_.passEnded();
        } catch (...) {
            inPassEnd_ = false;
            throw;
        }
        inPassEnd_ = false;
    }
}

void Player::fileFailed(std::uint64_t session) {
    if (session != session_ || !playing_)
        return;
    // Nothing to bring back: the file itself cannot be played.
    stop();
    if (events_.lost)
        events_.lost(PlaybackLoss::FileFailed);
}

void Player::outputFailed(std::uint64_t generation) {
    if (generation != generation_)
        return;
    close();
    if (!playing_ || lost_)
        return;
    // The server ended the stream while the device stays: it comes back at
    // once, and the gap is told. Without the device it waits for it.
    bool deviceThere = true;
    try {
        open();
    } catch (const WaveError&) {
        deviceThere = false;
    }
    loseSound(deviceThere ? PlaybackLoss::StreamEnded : PlaybackLoss::DeviceGone);
    if (!deviceThere)
        return;
    lost_ = false;
    retry_->setEnabled(false);
    begin(false);
    if (std::exchange(lossTold_, false) && events_.restored)
        events_.restored();
}

void Player::outputSuspended(std::uint64_t generation, bool suspended) {
    if (generation != generation_ || !playing_ || lost_)
        return;
    if (suspended && !suspended_) {
        suspended_ = true;
        retry_->setEnabled(true);
        if (!lossTold_) {
            lossTold_ = true;
            if (events_.lost)
                events_.lost(PlaybackLoss::DeviceSuspended);
        }
        askToRunDevice();
    } else if (!suspended && suspended_) {
        suspended_ = false;
        retry_->setEnabled(false);
        if (std::exchange(lossTold_, false) && events_.restored)
            events_.restored();
    }
}

// Anyone may suspend a device; the hold line needs it running.
void Player::askToRunDevice() {
    if (!stream_)
        return;
    PulseConnection::Lock lock(connection_);
    pa_stream* s = stream_->get();
    const char* sink = pa_stream_get_device_name(s);
    if (!sink)
        return;
    if (pa_operation* op =
            pa_context_suspend_sink_by_name(pa_stream_get_context(s), sink, 0, nullptr, nullptr))
        pa_operation_unref(op);
}

}  // namespace quindra::pulse
