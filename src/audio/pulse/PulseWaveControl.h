#pragma once

#include <memory>
#include <vector>

#include "audio/pulse/DeviceDirectory.h"
#include "audio/pulse/Player.h"
#include "audio/pulse/PulseConnection.h"
#include "audio/pulse/Recorder.h"
#include "ports/WaveControl.h"

namespace quindra::pulse {

// The wave control on a PulseAudio (or PipeWire pulse) server. Any number of
// them share the process's one connection:
//
//   auto pulse = std::make_shared<PulseConnection>(loop);
//   PulseWaveControl player(pulse), monitor(pulse), lister(pulse);
//
// Device names are those of DeviceDirectory. The player plays in the format
// setPlayFormat gives (the hold message's unless told otherwise); capture
// runs at 8000 Hz, 16 bit, mono. Sample listeners get both. A file plays in
// a loop until stop(), decoded on a thread of its own. When the server or a
// device goes away and comes back, whatever was playing starts again from
// the start and a running capture starts again.
class PulseWaveControl final : public WaveControl, private PulseConnection::Observer {
public:
    explicit PulseWaveControl(std::shared_ptr<PulseConnection> connection);
    ~PulseWaveControl() override;
    PulseWaveControl(const PulseWaveControl&) = delete;
    PulseWaveControl& operator=(const PulseWaveControl&) = delete;

    QStringList captureDevices() override;

    void open(const DeviceChoice& capture, const DeviceChoice& playback) override;
    DeviceChoice captureDevice() const override { return capture_; }
    DeviceChoice playbackDevice() const override { return playback_; }
    void setPlayFormat(const WaveFormat& format) override;
    WaveFormat playFormat() const override { return player_.format(); }

    void play(const QString& path) override { player_.play(path); }
    void stop() override { player_.stop(); }
    void setLevelling(bool on) override { player_.setLevelling(on); }
    void setFileGain(const QString& path, std::optional<double> gainDb) override {
        player_.setFileGain(path, gainDb);
    }
    bool playing() const override { return player_.playing(); }
    unsigned starts() const override { return player_.starts(); }
    std::uint64_t framesPlayed() const override { return player_.framesPlayed(); }

    void startCapture(int bufferBytes) override;
    void stopCapture() override { recorder_.stop(); }
    bool capturing() const { return recorder_.recording(); }

    void addListener(SampleListener* l) override;
    void removeListener(SampleListener* l) override;

private:
    void serverReady() override;
    void serverLost() override;
    void devicesChanged() override;
    void tellDevicesChanged();
    void deliver(const std::vector<std::int16_t>& samples, int rate);
    void tapWhileListened();

    std::shared_ptr<PulseConnection> connection_;
    DeviceDirectory devices_;
    DeviceChoice capture_ = DeviceChoice::systemDefault();
    DeviceChoice playback_ = DeviceChoice::systemDefault();
    std::vector<SampleListener*> listeners_;
    Player player_;
    Recorder recorder_;
};

}  // namespace quindra::pulse
