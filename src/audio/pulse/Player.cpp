#include "audio/pulse/Player.h"

#include "ports/WaveControl.h"

namespace quindra::pulse {

namespace {

// Half a second queued in the server: room for the UI thread to answer the
// end of a file (or sit in a short pause) before the next one must follow.
constexpr pa_usec_t kQueuedUsec = 500'000;
// Refill in small steps so that the queue stays close to full.
constexpr pa_usec_t kRefillUsec = 20'000;

pa_buffer_attr bufferFor(const pa_sample_spec& spec) {
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kQueuedUsec, &spec));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(pa_usec_to_bytes(kRefillUsec, &spec));
    attr.fragsize = static_cast<std::uint32_t>(-1);
    return attr;
}

}  // namespace

Player::Player(PulseConnection& connection, DeviceDirectory& devices, std::function<void()> onDone,
               std::function<void(const std::vector<std::int16_t>&, int)> onSamples)
    : connection_(connection),
      devices_(devices),
      onDone_(std::move(onDone)),
      onSamples_(std::move(onSamples)),
      guard_(connection.loop()),
      device_(kWaveMapper) {}

Player::~Player() {
    close();
}

void Player::setDevice(const QString& name) {
    if (name == device_)
        return;
    device_ = name;
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

void Player::play(const QString& path) {
    auto decoder = std::make_unique<FileDecoder>(path, format_.rate, format_.channels);
    path_ = path;
    ++ticket_;
    if (connection_.down()) {
        close();
        playing_ = true;
        resumePending_ = true;
        return;
    }
    resumePending_ = false;
    bool cut = playing_;
    if (stale_ || !stream_) {
        try {
            open();
        } catch (const WaveError&) {
            playing_ = false;
            throw;
        }
        cut = false;
    }
    begin(std::move(decoder), cut);
}

void Player::stop() {
    ++ticket_;
    playing_ = false;
    resumePending_ = false;
    if (!stream_)
        return;
    PulseConnection::Lock lock(connection_);
    feed_->clear();
    stream_->flush();
}

void Player::serverLost() {
    close();
    if (playing_)
        resumePending_ = true;
}

void Player::resume() {
    if (!resumePending_)
        return;
    std::unique_ptr<FileDecoder> decoder;
    try {
        decoder = std::make_unique<FileDecoder>(path_, format_.rate, format_.channels);
    } catch (const WaveError&) {
        // The file is gone or broken: this message will not play again.
        resumePending_ = false;
        playing_ = false;
        return;
    }
    try {
        open();
    } catch (const WaveError&) {
        return;  // the device is not back yet; devicesChanged tries again
    }
    resumePending_ = false;
    ++ticket_;
    begin(std::move(decoder), false);
}

// Under one lock, so the write callback sees either the old file or the new.
void Player::begin(std::unique_ptr<FileDecoder> decoder, bool cut) {
    playing_ = true;
    PulseConnection::Lock lock(connection_);
    if (cut) {
        feed_->clear();
        stream_->flush();
    }
    feed_->start(std::move(decoder), ticket_);
    feed_->fill(stream_->get());
}

void Player::open() {
    close();
    const std::string sink =
        device_ == kWaveMapper ? std::string() : devices_.find(DeviceKind::Playback, device_);
    const std::uint64_t generation = ++generation_;
    const int rate = format_.rate;
    PlaybackFeed::Events events{
        [this](std::uint64_t ticket) { guard_.post([this, ticket] { fileQueued(ticket); }); },
        [this, rate](std::vector<std::int16_t> s) {
            guard_.post([this, rate, s = std::move(s)] { onSamples_(s, rate); });
        },
        [this, generation] { guard_.post([this, generation] { outputFailed(generation); }); },
    };
    auto feed = std::make_unique<PlaybackFeed>(format_, std::move(events));
    feed->setTap(tap_);  // no stream calls it yet
    const pa_sample_spec spec = format_.sampleSpec();
    const PulseStream::Params params{PulseStream::Direction::Playback, "Mensagem de espera", spec,
                                     bufferFor(spec), sink};
    auto stream = std::make_unique<PulseStream>(connection_, params, *feed);
    feed_ = std::move(feed);
    stream_ = std::move(stream);
    stale_ = false;
}

void Player::close() {
    stream_.reset();
    feed_.reset();
}

void Player::fileQueued(std::uint64_t ticket) {
    if (ticket != ticket_ || !playing_)
        return;
    playing_ = false;
    try {
        if (onDone_)
            onDone_();
    } catch (...) {
        playOutIfAlone();
        throw;
    }
    playOutIfAlone();
}

// When no file follows, what is queued must play out even if it is less than
// the server waits for before it starts a stream. Starting it any earlier
// would spend the time the next file has to join.
void Player::playOutIfAlone() {
    if (playing_ || !stream_)
        return;
    PulseConnection::Lock lock(connection_);
    stream_->trigger();
}

void Player::outputFailed(std::uint64_t generation) {
    if (generation != generation_)
        return;
    // The device went away under the stream: the file stops here, without an
    // end-of-file report.
    close();
    ++ticket_;
    playing_ = false;
    resumePending_ = false;
}

}  // namespace quindra::pulse
