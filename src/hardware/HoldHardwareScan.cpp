#include "hardware/HoldHardwareScan.h"

#include "core/EventLoop.h"
#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "hardware/DeviceName.h"
#include "ports/WaveControl.h"

namespace quindra {

void HoldHardwareScan::scan() {
    flags_.hardwareFound = false;
    log_.write(QStringLiteral("Localizando Hardware da Vizudu..."));
    const int count = lister_.WaveInDeviceCount();
    for (int i = 0; i < count; ++i) {
        // One unreadable device does not stop the search.
        try {
            if (IsHoldDeviceName(lister_.WaveInDeviceName(i)))
                flags_.hardwareFound = true;
        } catch (const std::exception&) {
        }
    }
    if (flags_.hardwareFound) {
        log_.write(QStringLiteral("O hardware da espera foi localizado."));
        log_.write(QStringLiteral("Aguarde inicializando stream."));
        startTimer_.setEnabled(true);
    } else {
        log_.write(QStringLiteral("O Hardware da espera não foi localizado."));
        log_.write(QStringLiteral("Verifique se o cabo usb esta conectado."));
    }
}

}  // namespace quindra
