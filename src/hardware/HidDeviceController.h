#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/LifeGuard.h"
#include "hardware/DevicePlatform.h"

namespace quindra {

class EventLoop;

// A HID device's identity, read when it was found.
struct HIDD_ATTRIBUTES {
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

// One HID device found by a pass of the controller. It raises its unplug
// call at most once.
class THidDevice {
public:
    using PlugEvent = std::function<void(THidDevice& HidDev)>;

    THidDevice(const HidDeviceInfo& info, PlugEvent onUnplug);

    const QByteArray& DevicePath() const { return path_; }
    const QByteArray& DevInst() const { return instance_; }
    const HIDD_ATTRIBUTES& Attributes() const { return attributes_; }
    bool IsPluggedIn() const { return pluggedIn_; }

private:
    friend class THidDeviceController;

    QByteArray path_;
    QByteArray instance_;
    HIDD_ATTRIBUTES attributes_;
    bool pluggedIn_ = true;
    PlugEvent onUnplug_;  // the controller's OnDeviceUnplug when this was found
};

// Keeps the list of present HID devices and raises an unplug for each one
// that vanishes. A pass runs once after creation and again whenever the
// platform says devices changed.
class THidDeviceController {
public:
    using PlugEvent = THidDevice::PlugEvent;
    // The second parameter of the pass that runs first.
    static constexpr long kInitialPass = -1;

    // Without a device watch from the platform the controller stays inert:
    // no pass and no event, ever.
    THidDeviceController(DevicePlatform& platform, EventLoop& loop);
    // Empties the event slots first, so the devices go without an unplug.
    ~THidDeviceController();
    THidDeviceController(const THidDeviceController&) = delete;
    THidDeviceController& operator=(const THidDeviceController&) = delete;

    // A device-change notification: runs a pass unless one is in progress,
    // in which case the notification is dropped.
    void DeviceChange(long param);

    const std::vector<std::unique_ptr<THidDevice>>& Devices() const { return list_; }
    bool inert() const { return !watch_; }

    PlugEvent OnArrival;
    PlugEvent OnRemoval;
    // Copied into each device found from then on.
    PlugEvent OnDeviceUnplug;
    std::function<void(THidDeviceController&)> OnDeviceChange;

private:
    void DevicePass();

    DevicePlatform& platform_;
    std::vector<std::unique_ptr<THidDevice>> list_;
    bool passInProgress_ = false;
    long passParam_ = 0;
    std::unique_ptr<DeviceWatch> watch_;
    LifeGuard guard_;
};

}  // namespace quindra
