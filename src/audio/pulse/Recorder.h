#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "audio/pulse/DeviceDirectory.h"
#include "audio/pulse/PulseConnection.h"
#include "audio/pulse/PulseStream.h"
#include "core/LifeGuard.h"

namespace quindra::pulse {

// The capturing half of a wave control, on the UI thread: a record stream on
// the capture device in the capture format (8000 Hz, 16 bit, mono), whose
// audio goes to onSamples on the UI thread while tapped.
class Recorder {
public:
    static constexpr int kRate = 8000;

    Recorder(PulseConnection& connection, DeviceDirectory& devices,
             std::function<void(const std::vector<std::int16_t>&, int rate)> onSamples);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Takes effect at the next start.
    void setDevice(const DeviceChoice& device) { device_ = device; }
    // Bytes per transfer from the server.
    void setBufferBytes(int bytes) { bufferBytes_ = bytes; }

    // (Re)starts capture on the device; throws WaveError when it cannot.
    void start();
    void stop();
    bool recording() const { return recording_; }
    void setTap(bool on);

    // A capture that ran when the server or its device went away starts
    // again when they are back.
    void serverLost();
    void serverReady() { resume(); }
    void devicesChanged() { resume(); }

private:
    class Tap;

    void open();
    void close();
    void resume();
    void inputFailed(std::uint64_t generation);

    PulseConnection& connection_;
    DeviceDirectory& devices_;
    std::function<void(const std::vector<std::int16_t>&, int)> onSamples_;
    LifeGuard guard_;  // before the stream: it posts until the stream is gone

    DeviceChoice device_ = DeviceChoice::systemDefault();
    int bufferBytes_ = 2048;
    bool recording_ = false;
    bool resumePending_ = false;
    bool tap_ = false;
    std::uint64_t generation_ = 0;

    std::unique_ptr<Tap> tapHandler_;  // outlives the stream that calls it
    std::unique_ptr<PulseStream> stream_;
};

}  // namespace quindra::pulse
