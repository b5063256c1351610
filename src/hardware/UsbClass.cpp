#include "hardware/UsbClass.h"

namespace quindra {

namespace {

// How much of a path, after its first "#", is looked at.
constexpr qsizetype kPathLimit = 1026;

}  // namespace

QByteArray UsbDeviceInterfacePath(const QByteArray& vendorId, const QByteArray& productId,
                                  const QByteArray& serial) {
    return QByteArrayLiteral("\\\\?\\USB#Vid_") + vendorId + QByteArrayLiteral("&Pid_") +
           productId + '#' + serial + '#' + kUsbDeviceInterfaceClass;
}

TUsbClass::TUsbClass(DevicePlatform& platform) {
    RegisterNotification(platform);
}

TUsbClass::~TUsbClass() = default;

void TUsbClass::RegisterNotification(DevicePlatform& platform) {
    watch_ = platform.watchUsbDevices(
        [this](UsbChange change, const QByteArray& path) { WndProc(change, path); });
}

void TUsbClass::Release() {
    auto watch = std::move(watch_);
    if (watch)
        watch->stop();
}

TUsbClass::DeviceName TUsbClass::ParseDeviceName(const QByteArray& name) {
    DeviceName parts;
    if (name.isEmpty())
        return parts;
    const qsizetype hash = name.indexOf('#');
    const QByteArray rest = hash < 0 ? name.left(kPathLimit) : name.mid(hash + 1, kPathLimit);
    const qsizetype second = rest.indexOf('#');
    if (second >= 0)
        parts.IdSegment = rest.left(second);
    return parts;
}

void TUsbClass::WndProc(UsbChange change, const QByteArray& devicePath) {
    const DeviceName parts = ParseDeviceName(devicePath);
    // Copied: a callback may replace its own slot.
    const DeviceCallback callback =
        change == UsbChange::Arrival ? OnDeviceArrival : OnDeviceRemoval;
    if (callback)
        callback(*this, parts.first, parts.IdSegment, parts.third);
}

}  // namespace quindra
