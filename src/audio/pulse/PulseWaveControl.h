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
// PlayFormatID gives (PCM 44100 Hz, 16 bit, mono unless told otherwise);
// capture runs at 8000 Hz, 16 bit, mono. Sample listeners get both. A file
// plays in a loop until StopPlay, decoded on a thread of its own. When the
// server or a device goes away and comes back, whatever was playing starts
// again from the start and a running capture starts again.
class PulseWaveControl final : public WaveControl, private PulseConnection::Observer {
public:
    explicit PulseWaveControl(std::shared_ptr<PulseConnection> connection);
    ~PulseWaveControl() override;
    PulseWaveControl(const PulseWaveControl&) = delete;
    PulseWaveControl& operator=(const PulseWaveControl&) = delete;

    int WaveInDeviceCount() override;
    QString WaveInDeviceName(int index) override;
    void setWaveInDevice(const QString& name) override;
    QString WaveInDevice() const override { return in_; }
    void setWaveOutDevice(const QString& name) override;
    QString WaveOutDevice() const override { return out_; }

    // Bytes per capture transfer (2048: an eighth of a second).
    void setRecordBufferLength(int length) override;
    void setPlayFormatID(const QString& hex) override;
    QString PlayFormatID() const override { return formatId_; }
    void setPlayFormatName(const QString& name) override { formatName_ = name; }
    QString PlayFormatName() const override { return formatName_; }

    bool Playing() const override { return player_.playing(); }
    unsigned PlayStarts() const override { return player_.starts(); }
    bool PlayFile(const QString& path) override;
    void StopPlay() override { player_.stop(); }

    // This control has one capture mode, continuous capture to the sample
    // listeners; the mode and the flags are kept for the caller's sake.
    void SetMode(int mode) override { mode_ = mode; }
    bool StartRecord(int flags) override;
    void StopRecord() override { recorder_.stop(); }
    bool Recording() const { return recorder_.recording(); }

    void addSampleListener(SampleListener* l) override;
    void removeSampleListener(SampleListener* l) override;

private:
    void serverReady() override;
    void serverLost() override;
    void devicesChanged() override;
    void tellDevicesChanged();
    void deliver(const std::vector<std::int16_t>& samples, int rate);
    void tapWhileListened();

    std::shared_ptr<PulseConnection> connection_;
    DeviceDirectory devices_;
    QString in_ = kWaveMapper;
    QString out_ = kWaveMapper;
    QString formatId_;
    QString formatName_;
    int mode_ = 0;
    std::vector<SampleListener*> listeners_;
    Player player_;
    Recorder recorder_;
};

}  // namespace quindra::pulse
