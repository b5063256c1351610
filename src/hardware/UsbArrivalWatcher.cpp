#include "hardware/UsbArrivalWatcher.h"

namespace quindra {

UsbArrivalWatcher::UsbArrivalWatcher(DevicePlatform& platform)
    : watch_(platform.watchUsbDevices(
          [this](UsbChange change, UsbDeviceId id) { deviceChanged(change, id); })) {}

UsbArrivalWatcher::~UsbArrivalWatcher() = default;

void UsbArrivalWatcher::release() {
    auto watch = std::move(watch_);
    if (watch)
        watch->stop();
}

void UsbArrivalWatcher::deviceChanged(UsbChange change, UsbDeviceId id) {
    // Copied: a callback may replace its own slot.
    const DeviceCallback callback = change == UsbChange::Arrival ? onArrival : onRemoval;
    if (callback)
        callback(id);
}

}  // namespace quindra
