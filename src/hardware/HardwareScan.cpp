#include "hardware/HardwareScan.h"

#include "core/EventLoop.h"
#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "hardware/DeviceName.h"
#include "ports/WaveControl.h"

namespace quindra {

void HardwareScan::ScanForHoldHardware() {
    flags_.HardwareFound = false;
    log_.AddMsg(QStringLiteral("Localizando Hardware da Vizudu..."));
    const int count = lister_.WaveInDeviceCount();
    const int generation = state_.WindowsGeneration;
    for (int i = 0; i < count; ++i) {
        if (generation == 5) {
            // One unreadable device does not stop the search.
            try {
                if (IsHoldDeviceName(lister_.WaveInDeviceName(i), generation))
                    flags_.HardwareFound = true;
            } catch (const std::exception&) {
            }
        } else {
            // Every device is visited, with the window kept alive between them.
            if (IsHoldDeviceName(lister_.WaveInDeviceName(i), generation))
                flags_.HardwareFound = true;
            loop_.processPendingMessages();
            loop_.pause(kPauseBetweenDevicesMs);
        }
    }
    if (flags_.HardwareFound) {
        log_.AddMsg(QStringLiteral("O hardware da espera foi localizado."));
        log_.AddMsg(QStringLiteral("Aguarde inicializando stream."));
        tHid_.setEnabled(true);
    } else {
        log_.AddMsg(QStringLiteral("O Hardware da espera não foi localizado."));
        log_.AddMsg(QStringLiteral("Verifique se o cabo usb esta conectado."));
    }
}

}  // namespace quindra
