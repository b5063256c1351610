#include "hardware/HardwarePresence.h"

#include "core/EventLoop.h"
#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "hardware/Alert.h"
#include "ports/WaveControl.h"

namespace quindra {

HardwarePresence::HardwarePresence(Ports ports)
    : p_(std::move(ports)), hid_(std::make_unique<HidDeviceWatcher>(p_.devices, p_.loop)) {
    hid_->onUnplug = [this](HidDevice& d) { hidUnplugged(d); };
}

HardwarePresence::~HardwarePresence() = default;

void HardwarePresence::startUsbWatch() {
    usb_ = std::make_unique<UsbArrivalWatcher>(p_.devices);
    usb_->onArrival = [this](UsbDeviceId id) { usbArrived(id); };
}

void HardwarePresence::stopUsbWatch() {
    auto usb = std::move(usb_);
    if (!usb)
        return;
    try {
        usb->release();
    } catch (const std::exception&) {
        p_.log.write(QStringLiteral("Erro ao desligar analize USB"));
    }
}

void HardwarePresence::usbArrived(UsbDeviceId id) {
    if (id != kHoldHardwareId)
        return;
    saidArrived_ = true;
    p_.log.write(QStringLiteral("O Hardware foi conectado."));
    p_.log.write(QStringLiteral("Aguarde incializando o stream."));
    p_.startTimer.setEnabled(true);
    p_.pluggedBack();
    p_.alert.setText(QStringLiteral("Canal 1 localizado e conectado com sucesso."));
    p_.alert.popUp();
}

void HardwarePresence::hidUnplugged(HidDevice& device) {
    const HidIdentity& id = device.identity();
    if (id.vendorId != kHoldHardwareId.vendorId || id.productId != kHoldHardwareId.productId)
        return;
    // A swap in progress, or the program closing.
    if (p_.state.swap.replaySuspended)
        return;
    // Pulled out again before the channel reopened: the log said it came,
    // so it says it went.
    if (p_.state.channel.active || saidArrived_) {
        saidArrived_ = false;
        p_.log.write(QStringLiteral("O Hardware da espera foi desconectado."));
        p_.unplugged();
    }
    p_.channelUnplugged();
    try {
        p_.monitor.stopCapture();
        p_.loop.pause(kAfterStopCaptureMs);
    } catch (const std::exception&) {
    }
    p_.player.open(DeviceChoice::systemDefault(), DeviceChoice::systemDefault());
    p_.loop.pause(kBeforeStopMs);
    p_.player.stop();
}

}  // namespace quindra
