#pragma once

#include <QByteArray>
#include <functional>
#include <memory>

#include "hardware/DevicePlatform.h"

namespace quindra {

// The USB id segment of the hold hardware's device path.
inline constexpr char kHoldUsbId[] = "Vid_0416&Pid_8200";

// The device-interface class of whole USB devices, as device paths end.
inline constexpr char kUsbDeviceInterfaceClass[] = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

// A USB device-interface path in the Windows form, from the vendor and
// product ids as the kernel writes them (four hex digits) and the serial.
QByteArray UsbDeviceInterfacePath(const QByteArray& vendorId, const QByteArray& productId,
                                  const QByteArray& serial);

// Watches whole USB devices come and go, from its construction until it is
// released, and hands each device path's id segment to the callbacks.
class TUsbClass {
public:
    // The sender, then three texts of which only the middle one, the id
    // segment, carries data.
    using DeviceCallback =
        std::function<void(TUsbClass& sender, const QByteArray& first, const QByteArray& IdSegment,
                           const QByteArray& third)>;

    struct DeviceName {
        QByteArray first;
        QByteArray IdSegment;
        QByteArray third;
    };

    // Registers for the notifications; a registration the platform refuses
    // goes unnoticed, and nothing is ever reported.
    explicit TUsbClass(DevicePlatform& platform);
    ~TUsbClass();
    TUsbClass(const TUsbClass&) = delete;
    TUsbClass& operator=(const TUsbClass&) = delete;

    // Withdraws the registration: nothing is reported afterwards. Throws when
    // the platform refuses.
    void Release();

    // The id segment is the text between the first and the second "#" of the
    // path, looked for within 1026 characters after the first; empty when
    // the path has no such second "#".
    static DeviceName ParseDeviceName(const QByteArray& name);

    // A notification: a device came or went.
    void WndProc(UsbChange change, const QByteArray& devicePath);

    // Empty slots switch their report off.
    DeviceCallback OnDeviceRemoval;
    DeviceCallback OnDeviceArrival;

private:
    void RegisterNotification(DevicePlatform& platform);

    std::unique_ptr<DeviceWatch> watch_;
};

}  // namespace quindra
