#pragma once

#include <functional>
#include <memory>

#include "hardware/DevicePlatform.h"

namespace quindra {

// Watches whole USB devices come and go, from its construction until it is
// released, and hands each device's ids to the callbacks.
class UsbArrivalWatcher {
public:
    using DeviceCallback = std::function<void(UsbDeviceId id)>;

    // Registers with the platform; a registration the platform refuses goes
    // unnoticed, and nothing is ever reported.
    explicit UsbArrivalWatcher(DevicePlatform& platform);
    ~UsbArrivalWatcher();
    UsbArrivalWatcher(const UsbArrivalWatcher&) = delete;
    UsbArrivalWatcher& operator=(const UsbArrivalWatcher&) = delete;

    // Withdraws the registration: nothing is reported afterwards. Throws when
    // the platform refuses.
    void release();

    // Empty callbacks switch their report off.
    DeviceCallback onArrival;
    DeviceCallback onRemoval;

private:
    void deviceChanged(UsbChange change, UsbDeviceId id);

    std::unique_ptr<DeviceWatch> watch_;
};

}  // namespace quindra
