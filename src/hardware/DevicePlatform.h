#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quindra {

// A running device watch. Destroying it ends the reports; nothing it posted
// runs afterwards.
class DeviceWatch {
public:
    virtual ~DeviceWatch() = default;
    // Withdraws the registration before the watch goes. Throws when the
    // platform refuses; the watch reports nothing more either way.
    virtual void stop() = 0;
};

enum class UsbChange { Arrival, Removal };

// A USB device's vendor and product ids, as its device descriptor gives them.
struct UsbDeviceId {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    friend bool operator==(const UsbDeviceId&, const UsbDeviceId&) = default;
};

// A HID device as the platform lists it.
struct HidDeviceInfo {
    QByteArray instance;  // stable while the device stays plugged in
    QByteArray path;      // its device node
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t version = 0;
};

// The platform's view of USB and HID devices. Every report comes on the UI
// thread, through the event loop.
class DevicePlatform {
public:
    virtual ~DevicePlatform() = default;

    // Reports each arrival and removal of a whole USB device with its ids. A
    // device whose ids cannot be read is not reported: nothing could be done
    // with it. Null when the platform cannot watch.
    virtual std::unique_ptr<DeviceWatch> watchUsbDevices(
        std::function<void(UsbChange, UsbDeviceId)> report) = 0;

    // The HID devices present now, as far as the reports told so far go: a
    // device pulled out and plugged back since the last listing comes back
    // under a new instance. One that cannot be identified is left out.
    virtual std::vector<HidDeviceInfo> hidDevicesPresent() = 0;

    // Tells that HID devices may have come or gone, once for a burst of
    // changes. Null when the platform cannot watch.
    virtual std::unique_ptr<DeviceWatch> watchHidDevices(std::function<void()> changed) = 0;
};

}  // namespace quindra
