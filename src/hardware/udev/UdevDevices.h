#pragma once

#include <QByteArray>
#include <memory>
#include <set>
#include <vector>

#include "hardware/DevicePlatform.h"
#include "hardware/udev/UdevHandles.h"
#include "hardware/udev/UdevMonitor.h"

namespace quindra {
class EventLoop;
}

namespace quindra::udev {

// A device watch on one udev monitor.
class UdevWatch final : public DeviceWatch {
public:
    explicit UdevWatch(std::unique_ptr<UdevMonitor> monitor) : monitor_(std::move(monitor)) {}
    void stop() override { monitor_.reset(); }
    // The monitor's socket; -1 once stopped.
    int fd() const { return monitor_ ? monitor_->fd() : -1; }

private:
    std::unique_ptr<UdevMonitor> monitor_;
};

// The device platform on libudev: whole USB devices (subsystem "usb", type
// "usb_device") and hidraw nodes, whose parent "hid" device's HID_ID gives
// vendor and product, so no device node is opened. Watches are read on the
// UI thread. Without a udev context every watch is null and no HID device is
// listed. Must outlive its watches.
class UdevDevices final : public DevicePlatform {
public:
    explicit UdevDevices(EventLoop& loop);
    ~UdevDevices() override;

    std::unique_ptr<DeviceWatch> watchUsbDevices(
        std::function<void(UsbChange, UsbDeviceId)> report) override;
    std::vector<HidDeviceInfo> hidDevicesPresent() override;
    std::unique_ptr<DeviceWatch> watchHidDevices(std::function<void()> changed) override;

private:
    EventLoop& loop_;
    ContextPtr context_;
    // hidraw nodes whose removal was announced while their sysfs entries may
    // still be there: they count as gone.
    std::set<QByteArray> removedHid_;
};

}  // namespace quindra::udev
