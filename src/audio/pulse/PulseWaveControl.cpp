#include "audio/pulse/PulseWaveControl.h"

#include <algorithm>

#include "audio/pulse/PulseFormat.h"

namespace quindra::pulse {

PulseWaveControl::PulseWaveControl(std::shared_ptr<PulseConnection> connection)
    : connection_(std::move(connection)),
      devices_(*connection_),
      player_(
          *connection_, devices_,
          {.passEnded =
               [this] {
                   if (onPassEnded)
                       onPassEnded();
               },
           .lost =
               [this](PlaybackLoss why) {
                   if (onLost)
                       onLost(why);
               },
           .restored =
               [this] {
                   if (onRestored)
                       onRestored();
               },
           .underrun =
               [this] {
                   if (onUnderrun)
                       onUnderrun();
               },
           .samples = [this](const std::vector<std::int16_t>& s, int rate) { deliver(s, rate); }}),
      recorder_(*connection_, devices_,
                [this](const std::vector<std::int16_t>& s, int rate) { deliver(s, rate); }) {
    player_.setFormat(kHoldMessageFormat);
    connection_->addObserver(this);
}

PulseWaveControl::~PulseWaveControl() {
    connection_->removeObserver(this);
}

QStringList PulseWaveControl::captureDevices() {
    QStringList names;
    for (const auto& d : devices_.list(DeviceKind::Capture))
        names << d.name;
    return names;
}

void PulseWaveControl::open(const DeviceChoice& capture, const DeviceChoice& playback) {
    if (!capture.isSystemDefault())
        devices_.find(DeviceKind::Capture, capture.name());
    capture_ = capture;
    recorder_.setDevice(capture);
    if (!playback.isSystemDefault())
        devices_.find(DeviceKind::Playback, playback.name());
    playback_ = playback;
    player_.setDevice(playback);
}

void PulseWaveControl::setPlayFormat(const WaveFormat& format) {
    requirePlayable(format);
    player_.setFormat(format);
}

void PulseWaveControl::startCapture(int bufferBytes) {
    if (bufferBytes <= 0)
        throw WaveError(QStringLiteral("Tamanho de buffer inválido: %1").arg(bufferBytes));
    recorder_.setBufferBytes(bufferBytes);
    recorder_.start();
}

void PulseWaveControl::addListener(SampleListener* l) {
    if (std::find(listeners_.begin(), listeners_.end(), l) == listeners_.end()) {
        listeners_.push_back(l);
    }
    tapWhileListened();
}

void PulseWaveControl::removeListener(SampleListener* l) {
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
    if (onDevicesChanged)
        onDevicesChanged();
}

}  // namespace quindra::pulse
