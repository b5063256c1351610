#include "hardware/HardwarePresence.h"

#include "core/EventLoop.h"
#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "hardware/Alert.h"
#include "mail/MailNotices.h"
#include "ports/WaveControl.h"

namespace quindra {

HardwarePresence::HardwarePresence(Ports ports)
    : p_(std::move(ports)), hidCtl_(std::make_unique<THidDeviceController>(p_.devices, p_.loop)) {
    hidCtl_->OnDeviceUnplug = [this](THidDevice& d) { HidCtlDeviceUnplug(d); };
    hidCtl_->OnDeviceChange = [this](THidDeviceController& c) { HidCtlDeviceChange(c); };
}

HardwarePresence::~HardwarePresence() = default;

void HardwarePresence::CreateUsbWatcher() {
    usb_ = std::make_unique<TUsbClass>(p_.devices);
    usb_->OnDeviceArrival = [this](TUsbClass& sender, const QByteArray& first, const QByteArray& id,
                                   const QByteArray& third) {
        OnUsbArrival(sender, first, id, third);
    };
}

void HardwarePresence::ReleaseUsbWatcher() {
    auto usb = std::move(usb_);
    if (!usb)
        return;
    try {
        usb->Release();
    } catch (const std::exception&) {
        p_.log.write(QStringLiteral("Erro ao desligar analize USB"));
    }
}

void HardwarePresence::OnUsbArrival(TUsbClass&, const QByteArray&, const QByteArray& IdSegment,
                                    const QByteArray&) {
    if (IdSegment != kHoldUsbId)
        return;
    p_.log.write(QStringLiteral("O Hardware foi conectado."));
    p_.log.write(QStringLiteral("Aguarde incializando o stream."));
    p_.tHid.setEnabled(true);
    p_.mail.hardwareReconnected();
    p_.Alerta.setText(QStringLiteral("Canal 1 localizado e conectado com sucesso."));
    p_.Alerta.Popup();
}

void HardwarePresence::HidCtlDeviceUnplug(THidDevice& HidDev) {
    const HIDD_ATTRIBUTES& id = HidDev.Attributes();
    if (id.VendorID != kHoldVendorId || id.ProductID != kHoldProductId)
        return;
    // A swap in progress, or the program closing.
    if (p_.state.swap.replaySuspended)
        return;
    if (p_.state.channel.active) {
        p_.log.write(QStringLiteral("O Hardware da espera foi desconectado."));
        p_.mail.hardwareDisconnected();
    }
    p_.channelUnplugged();
    try {
        p_.wCanal1.stopCapture();
        p_.loop.pause(kAfterStopRecordMs);
    } catch (const std::exception&) {
    }
    p_.PlayC1.open(DeviceChoice::systemDefault(), DeviceChoice::systemDefault());
    p_.loop.pause(kBeforeStopPlayMs);
    p_.PlayC1.stop();
}

}  // namespace quindra
