#pragma once

#include <QByteArray>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "hardware/DevicePlatform.h"
#include "hardware/udev/UdevHandles.h"
#include "hardware/udev/UdevMonitor.h"

namespace quindra {
class EventLoop;
}

namespace quindra::udev {

// A device watch on one udev monitor; `ended` runs when it stops.
class UdevWatch final : public DeviceWatch {
public:
    UdevWatch(std::unique_ptr<UdevMonitor> monitor, std::function<void()> ended)
        : monitor_(std::move(monitor)), ended_(std::move(ended)) {}
    ~UdevWatch() override { stop(); }
    void stop() override;
    // The monitor's socket; -1 once stopped.
    int fd() const { return monitor_ ? monitor_->fd() : -1; }

private:
    std::unique_ptr<UdevMonitor> monitor_;
    std::function<void()> ended_;
};

// The device platform on libudev: whole USB devices (subsystem "usb", type
// "usb_device") and hidraw nodes, whose parent "hid" device's HID_ID gives
// vendor and product, so no device node is opened. Watches are read on the
// UI thread. Without a udev context every watch is null and no HID device is
// listed. Must outlive its watches; one watch of each kind at a time.
//
// The two watches report in the kernel's order of events, whichever socket
// is read first: a USB report never overtakes a HID removal that came before
// it. While the HID watch runs, the HID devices present are those its
// uevents left, so a node pulled out and plugged back between two reads is
// still seen to go, and comes back under a new identity.
class UdevDevices final : public DevicePlatform {
public:
    explicit UdevDevices(EventLoop& loop);
    ~UdevDevices() override;

    std::unique_ptr<DeviceWatch> watchUsbDevices(
        std::function<void(UsbChange, UsbDeviceId)> report) override;
    std::vector<HidDeviceInfo> hidDevicesPresent() override;
    std::unique_ptr<DeviceWatch> watchHidDevices(std::function<void()> changed) override;

private:
    struct Event {
        unsigned long long seqnum = 0;
        bool usb = false;
        UsbChange change = UsbChange::Arrival;  // a hidraw node's too
        UsbDeviceId id;
        QByteArray syspath;  // a hidraw node's
        // An added node's, when it can be identified. Held by pointer: events
        // are sorted, and a moved optional of it trips the optimiser's
        // uninitialised-use warning.
        std::shared_ptr<const HidDeviceInfo> info;
    };

    void takeUsb(udev_device* d);
    void takeHid(udev_device* d);
    void handleEvents();
    void applyHid(const Event& e);
    std::map<QByteArray, HidDeviceInfo> enumerateHid();
    QByteArray instanceOf(const QByteArray& syspath) const;

    EventLoop& loop_;
    ContextPtr context_;
    UdevMonitor* usbMonitor_ = nullptr;
    UdevMonitor* hidMonitor_ = nullptr;
    std::function<void(UsbChange, UsbDeviceId)> usbReport_;
    std::function<void()> hidChanged_;
    // Taken from both sockets, handled in order of their sequence numbers.
    std::deque<Event> pending_;
    // The HID devices as the uevents handled so far left them, by node; not
    // known before the first listing, or after uevents were lost.
    std::optional<std::map<QByteArray, HidDeviceInfo>> hidPresent_;
    bool hidResync_ = false;
    // Removals seen for each node: a node plugged back is another device.
    std::map<QByteArray, unsigned> hidRemovals_;
};

}  // namespace quindra::udev
