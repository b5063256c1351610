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
struct HidIdentity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t version = 0;
};

// One HID device found by a pass of the watcher. It raises its unplug call at
// most once.
class HidDevice {
public:
    using PlugEvent = std::function<void(HidDevice& device)>;

    HidDevice(const HidDeviceInfo& info, PlugEvent onUnplug);

    const QByteArray& path() const { return path_; }
    const QByteArray& instance() const { return instance_; }
    const HidIdentity& identity() const { return identity_; }
    bool pluggedIn() const { return pluggedIn_; }

private:
    friend class HidDeviceWatcher;

    QByteArray path_;
    QByteArray instance_;
    HidIdentity identity_;
    bool pluggedIn_ = true;
    PlugEvent onUnplug_;  // the watcher's onUnplug when this was found
};

// Keeps the list of present HID devices and raises an unplug for each one
// that vanishes. A pass runs once after creation and again whenever the
// platform says devices changed.
class HidDeviceWatcher {
public:
    using PlugEvent = HidDevice::PlugEvent;
    // The first pass reports a change even when it finds no device.
    enum class Pass { Initial, DevicesChanged };

    // Without a device watch from the platform the watcher stays inert: no
    // pass and no event, ever.
    HidDeviceWatcher(DevicePlatform& platform, EventLoop& loop);
    // Empties the event slots first, so the devices go without an unplug.
    ~HidDeviceWatcher();
    HidDeviceWatcher(const HidDeviceWatcher&) = delete;
    HidDeviceWatcher& operator=(const HidDeviceWatcher&) = delete;

    // Runs a pass unless one is in progress, in which case the request is
    // dropped.
    void runPass(Pass kind);

    const std::vector<std::unique_ptr<HidDevice>>& devices() const { return list_; }
    bool inert() const { return !watch_; }

    PlugEvent onArrival;
    PlugEvent onRemoval;
    // Copied into each device found from then on.
    PlugEvent onUnplug;
    std::function<void(HidDeviceWatcher&)> onChange;

private:
    void pass(Pass kind);

    DevicePlatform& platform_;
    std::vector<std::unique_ptr<HidDevice>> list_;
    bool passInProgress_ = false;
    std::unique_ptr<DeviceWatch> watch_;
    LifeGuard guard_;
};

}  // namespace quindra
