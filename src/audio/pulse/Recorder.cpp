#include "audio/pulse/Recorder.h"

#include "ports/WaveControl.h"

namespace quindra::pulse {

// Reads the record stream on the mainloop thread (lock held) and hands each
// burst of samples over as one chunk.
class Recorder::Tap final : public PulseStream::Handler {
public:
    Tap(std::function<void(std::vector<std::int16_t>)> captured, std::function<void()> failed)
        : captured_(std::move(captured)), failed_(std::move(failed)) {}

    void setOn(bool on) { on_ = on; }

    void streamReadable(pa_stream* s, std::size_t) override {
        std::vector<std::int16_t> chunk;
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &bytes) == 0 &&
               bytes > 0) {
            // data is null for a hole in the stream: nothing to show there.
            if (data && on_) {
                const auto* samples = static_cast<const std::int16_t*>(data);
                chunk.insert(chunk.end(), samples, samples + bytes / sizeof(std::int16_t));
            }
            pa_stream_drop(s);
        }
        if (!chunk.empty())
            captured_(std::move(chunk));
    }
    void streamFailed() override { failed_(); }

private:
    const std::function<void(std::vector<std::int16_t>)> captured_;
    const std::function<void()> failed_;
    bool on_ = false;
};

Recorder::Recorder(PulseConnection& connection, DeviceDirectory& devices,
                   std::function<void(const std::vector<std::int16_t>&, int)> onSamples)
    : connection_(connection),
      devices_(devices),
      onSamples_(std::move(onSamples)),
      guard_(connection.loop()) {}

Recorder::~Recorder() {
    close();
}

void Recorder::setTap(bool on) {
    tap_ = on;
    if (!tapHandler_)
        return;
    PulseConnection::Lock lock(connection_);
    tapHandler_->setOn(on);
}

void Recorder::start() {
    close();
    recording_ = false;
    resumePending_ = false;
    if (connection_.down()) {
        recording_ = true;
        resumePending_ = true;
        return;
    }
    open();
    recording_ = true;
}

void Recorder::stop() {
    close();
    recording_ = false;
    resumePending_ = false;
}

void Recorder::serverLost() {
    close();
    if (recording_)
        resumePending_ = true;
}

void Recorder::resume() {
    if (!resumePending_)
        return;
    try {
        open();
    } catch (const WaveError&) {
        return;  // the device is not back yet; devicesChanged tries again
    }
    resumePending_ = false;
}

void Recorder::open() {
    close();
    const std::string source = devices_.resolve(DeviceKind::Capture, device_);
    const std::uint64_t generation = ++generation_;
    auto tap = std::make_unique<Tap>(
        [this](std::vector<std::int16_t> s) {
            guard_.post([this, s = std::move(s)] { onSamples_(s, kRate); });
        },
        [this, generation] { guard_.post([this, generation] { inputFailed(generation); }); });
    tap->setOn(tap_);  // no stream calls it yet

    pa_sample_spec sampleSpec;
    sampleSpec.format = PA_SAMPLE_S16NE;
    sampleSpec.rate = kRate;
    sampleSpec.channels = 1;
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = bufferBytes_ > 0 ? static_cast<std::uint32_t>(bufferBytes_)
                                     : static_cast<std::uint32_t>(-1);
    const PulseStream::Params params{PulseStream::Direction::Record, "Monitoração", sampleSpec,
                                     attr, source};
    auto stream = std::make_unique<PulseStream>(connection_, params, *tap);
    tapHandler_ = std::move(tap);
    stream_ = std::move(stream);
}

void Recorder::close() {
    stream_.reset();
    tapHandler_.reset();
}

// The capture device left the server (or the server ended the stream): the
// capture comes back as soon as the device does.
void Recorder::inputFailed(std::uint64_t generation) {
    if (generation != generation_)
        return;
    close();
    if (recording_)
        resumePending_ = true;
    resume();
}

}  // namespace quindra::pulse
