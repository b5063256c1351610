#include "audio/pulse/PulseWaveControl.h"

#include <algorithm>

#include "audio/pulse/WaveFormat.h"

namespace quindra::pulse {

PulseWaveControl::PulseWaveControl(std::shared_ptr<PulseConnection> connection)
    : connection_(std::move(connection)),
      devices_(*connection_),
      formatId_(kPlayFormatID),
      formatName_(kPlayFormatName),
      player_(
          *connection_, devices_,
          {.passEnded =
               [this] {
                   if (OnPlayDone)
                       OnPlayDone();
               },
           .lost =
               [this](PlaybackLoss why) {
                   if (OnPlaybackLost)
                       OnPlaybackLost(why);
               },
           .restored =
               [this] {
                   if (OnPlaybackRestored)
                       OnPlaybackRestored();
               },
           .underrun =
               [this] {
                   if (OnUnderrun)
                       OnUnderrun();
               },
           .samples = [this](const std::vector<std::int16_t>& s, int rate) { deliver(s, rate); }}),
      recorder_(*connection_, devices_,
                [this](const std::vector<std::int16_t>& s, int rate) { deliver(s, rate); }) {
    player_.setFormat(parseWaveFormat(formatId_));
    connection_->addObserver(this);
}

PulseWaveControl::~PulseWaveControl() {
    connection_->removeObserver(this);
}

int PulseWaveControl::WaveInDeviceCount() {
    return static_cast<int>(devices_.list(DeviceKind::Capture).size());
}

QString PulseWaveControl::WaveInDeviceName(int index) {
    const auto devices = devices_.list(DeviceKind::Capture);
    if (index < 0 || index >= static_cast<int>(devices.size())) {
        throw WaveError(QStringLiteral("Índice de dispositivo de áudio inválido: %1").arg(index));
    }
    return devices[static_cast<std::size_t>(index)].name;
}

void PulseWaveControl::setWaveInDevice(const QString& name) {
    if (name != kWaveMapper)
        devices_.find(DeviceKind::Capture, name);
    in_ = name;
    recorder_.setDevice(name);
}

void PulseWaveControl::setWaveOutDevice(const QString& name) {
    if (name != kWaveMapper)
        devices_.find(DeviceKind::Playback, name);
    out_ = name;
    player_.setDevice(name);
}

void PulseWaveControl::setRecordBufferLength(int length) {
    if (length <= 0) {
        throw WaveError(QStringLiteral("Tamanho de buffer inválido: %1").arg(length));
    }
    recorder_.setBufferBytes(length);
}

void PulseWaveControl::setPlayFormatID(const QString& hex) {
    player_.setFormat(parseWaveFormat(hex));
    formatId_ = hex;
}

bool PulseWaveControl::PlayFile(const QString& path) {
    player_.play(path);
    return true;
}

bool PulseWaveControl::StartRecord(int) {
    recorder_.start();
    return true;
}

void PulseWaveControl::addSampleListener(SampleListener* l) {
    if (std::find(listeners_.begin(), listeners_.end(), l) == listeners_.end()) {
        listeners_.push_back(l);
    }
    tapWhileListened();
}

void PulseWaveControl::removeSampleListener(SampleListener* l) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), l), listeners_.end());
    tapWhileListened();
}

// Copying samples for the UI thread costs only while someone looks at them.
void PulseWaveControl::tapWhileListened() {
    player_.setTap(!listeners_.empty());
    recorder_.setTap(!listeners_.empty());
}

void PulseWaveControl::deliver(const std::vector<std::int16_t>& samples, int rate) {
    const auto listeners = listeners_;  // a listener may remove itself
    for (auto* l : listeners) {
        if (std::find(listeners_.begin(), listeners_.end(), l) != listeners_.end()) {
            l->samples(samples.data(), samples.size(), rate);
        }
    }
}

void PulseWaveControl::serverReady() {
    player_.serverReady();
    recorder_.serverReady();
    tellDevicesChanged();
}

void PulseWaveControl::serverLost() {
    player_.serverLost();
    recorder_.serverLost();
    tellDevicesChanged();
}

void PulseWaveControl::devicesChanged() {
    player_.devicesChanged();
    recorder_.devicesChanged();
    tellDevicesChanged();
}

void PulseWaveControl::tellDevicesChanged() {
    if (OnDevicesChanged)
        OnDevicesChanged();
}

}  // namespace quindra::pulse
