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
    for (const QString& name : lister_.captureDevices()) {
        if (IsHoldDeviceName(name))
            flags_.hardwareFound = true;
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
