#include "hardware/udev/UdevDevices.h"

#include <QList>
#include <algorithm>
#include <deque>
#include <exception>
#include <optional>
#include <utility>

namespace quindra::udev {

namespace {

QByteArray text(const char* s) {
    return s ? QByteArray(s) : QByteArray();
}

// An id of 16 bits in hex, as sysfs and the uevent properties write it.
std::optional<std::uint16_t> hexId(const QByteArray& hex) {
    bool ok = false;
    const uint value = hex.toUInt(&ok, 16);
    if (!ok || value > 0xffff)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::optional<UsbDeviceId> usbDeviceId(const QByteArray& vendor, const QByteArray& product) {
    const auto vendorId = hexId(vendor);
    const auto productId = hexId(product);
    if (!vendorId || !productId)
        return std::nullopt;
    return UsbDeviceId{.vendorId = *vendorId, .productId = *productId};
}

// The ids of a whole USB device: its attributes while it is there, else the
// ids its uevent carries (a removed device has no attributes left).
std::optional<UsbDeviceId> usbIds(udev_device* d) {
    const QByteArray vendor = text(udev_device_get_sysattr_value(d, "idVendor")).trimmed();
    const QByteArray product = text(udev_device_get_sysattr_value(d, "idProduct")).trimmed();
    if (!vendor.isEmpty() && !product.isEmpty())
        return usbDeviceId(vendor, product);
    // PRODUCT=vendor/product/release, in hex without leading zeros.
    const QList<QByteArray> parts = text(udev_device_get_property_value(d, "PRODUCT")).split('/');
    if (parts.size() != 3)
        return std::nullopt;
    return usbDeviceId(parts[0], parts[1]);
}

struct UsbEvent {
    UsbChange change;
    UsbDeviceId id;
};

std::optional<UsbEvent> usbEvent(udev_device* d) {
    const QByteArray action = text(udev_device_get_action(d));
    UsbChange change;
    if (action == "add")
        change = UsbChange::Arrival;
    else if (action == "remove")
        change = UsbChange::Removal;
    else
        return std::nullopt;
    if (text(udev_device_get_subsystem(d)) != "usb" ||
        text(udev_device_get_devtype(d)) != "usb_device")
        return std::nullopt;
    const auto id = usbIds(d);
    if (!id)
        return std::nullopt;
    return UsbEvent{change, *id};
}

// HID_ID is bus:vendor:product in hex, "0003:00000416:00008200".
std::optional<std::pair<std::uint16_t, std::uint16_t>> hidIds(const QByteArray& hidId) {
    const QList<QByteArray> parts = hidId.split(':');
    if (parts.size() != 3)
        return std::nullopt;
    const auto vendor = hexId(parts[1]);
    const auto product = hexId(parts[2]);
    if (!vendor || !product)
        return std::nullopt;
    return std::pair{*vendor, *product};
}

std::optional<HidDeviceInfo> hidDevice(::udev* context, const char* syspath) {
    DevicePtr node(udev_device_new_from_syspath(context, syspath));
    if (!node)
        return std::nullopt;
    // Owned by the node.
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(node.get(), "hid", nullptr);
    if (!hid)
        return std::nullopt;
    const auto ids = hidIds(text(udev_device_get_property_value(hid, "HID_ID")));
    if (!ids)
        return std::nullopt;
    HidDeviceInfo info;
    info.instance = syspath;
    info.path = text(udev_device_get_devnode(node.get()));
    if (info.path.isEmpty())
        info.path = syspath;
    info.vendorId = ids->first;
    info.productId = ids->second;
    return info;
}

}  // namespace

UdevDevices::UdevDevices(EventLoop& loop) : loop_(loop), context_(udev_new()) {}

UdevDevices::~UdevDevices() = default;

std::unique_ptr<DeviceWatch> UdevDevices::watchUsbDevices(
    std::function<void(UsbChange, UsbDeviceId)> report) {
    if (!context_)
        return nullptr;
    struct Queue {
        std::deque<UsbEvent> pending;
        std::function<void(UsbChange, UsbDeviceId)> report;
    };
    auto queue = std::make_shared<Queue>();
    queue->report = std::move(report);
    auto take = [queue](udev_device* d) {
        if (auto event = usbEvent(d))
            queue->pending.push_back(*event);
    };
    // Every device of the burst is reported even when one report fails; the
    // first failure is passed on afterwards.
    auto burst = [queue] {
        std::exception_ptr failure;
        while (!queue->pending.empty()) {
            const UsbEvent event = queue->pending.front();
            queue->pending.pop_front();
            try {
                queue->report(event.change, event.id);
            } catch (...) {
                if (!failure)
                    failure = std::current_exception();
            }
        }
        if (failure)
            std::rethrow_exception(failure);
    };
    return std::make_unique<UdevWatch>(std::make_unique<UdevMonitor>(
        context_.get(), loop_, "usb", "usb_device", std::move(take), std::move(burst)));
}

std::unique_ptr<DeviceWatch> UdevDevices::watchHidDevices(std::function<void()> changed) {
    if (!context_)
        return nullptr;
    auto take = [this](udev_device* d) {
        const QByteArray action = text(udev_device_get_action(d));
        const QByteArray syspath = text(udev_device_get_syspath(d));
        if (action == "remove")
            removedHid_.insert(syspath);
        else if (action == "add")
            removedHid_.erase(syspath);
    };
    return std::make_unique<UdevWatch>(std::make_unique<UdevMonitor>(
        context_.get(), loop_, "hidraw", QByteArray(), std::move(take), std::move(changed)));
}

std::vector<HidDeviceInfo> UdevDevices::hidDevicesPresent() {
    std::vector<HidDeviceInfo> devices;
    if (!context_)
        return devices;
    EnumeratePtr scan(udev_enumerate_new(context_.get()));
    if (!scan)
        return devices;
    udev_enumerate_add_match_subsystem(scan.get(), "hidraw");
    // A device that vanishes during the scan makes it report a failure; what
    // it did list is still good.
    udev_enumerate_scan_devices(scan.get());
    std::set<QByteArray> listed;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
        const char* syspath = udev_list_entry_get_name(entry);
        listed.insert(text(syspath));
        if (removedHid_.count(text(syspath)))
            continue;
        if (auto info = hidDevice(context_.get(), syspath))
            devices.push_back(std::move(*info));
    }
    // Removals whose devices are really gone are forgotten.
    std::erase_if(removedHid_, [&](const QByteArray& p) { return !listed.count(p); });
    return devices;
}

}  // namespace quindra::udev
