#include "hardware/udev/UdevDevices.h"

#include <QList>
#include <algorithm>
#include <deque>
#include <exception>
#include <optional>
#include <utility>

#include "hardware/UsbClass.h"

namespace quindra::udev {

namespace {

QByteArray text(const char* s) {
    return s ? QByteArray(s) : QByteArray();
}

// "416" as the kernel's PRODUCT property writes it, as idVendor would: "0416".
QByteArray fourHexDigits(const QByteArray& hex) {
    bool ok = false;
    const uint value = hex.toUInt(&ok, 16);
    if (!ok || value > 0xffff)
        return {};
    return QByteArray::number(value, 16).rightJustified(4, '0');
}

// The ids of a whole USB device: its attributes while it is there, else the
// ids its uevent carries (a removed device has no attributes left).
std::pair<QByteArray, QByteArray> usbIds(udev_device* d) {
    QByteArray vendor = text(udev_device_get_sysattr_value(d, "idVendor")).trimmed();
    QByteArray product = text(udev_device_get_sysattr_value(d, "idProduct")).trimmed();
    if (vendor.isEmpty() || product.isEmpty()) {
        // PRODUCT=vendor/product/release, in hex without leading zeros.
        const QList<QByteArray> parts =
            text(udev_device_get_property_value(d, "PRODUCT")).split('/');
        if (parts.size() == 3) {
            vendor = fourHexDigits(parts[0]);
            product = fourHexDigits(parts[1]);
        }
    }
    return {vendor, product};
}

QByteArray usbSerial(udev_device* d) {
    QByteArray serial = text(udev_device_get_sysattr_value(d, "serial")).trimmed();
    if (serial.isEmpty())
        serial = text(udev_device_get_property_value(d, "ID_SERIAL_SHORT"));
    if (serial.isEmpty())
        serial = text(udev_device_get_sysname(d));
    return serial;
}

struct UsbEvent {
    UsbChange change;
    QByteArray path;
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
    const auto [vendor, product] = usbIds(d);
    return UsbEvent{change, UsbDeviceInterfacePath(vendor, product, usbSerial(d))};
}

// HID_ID is bus:vendor:product in hex, "0003:00000416:00008200".
std::optional<std::pair<std::uint16_t, std::uint16_t>> hidIds(const QByteArray& hidId) {
    const QList<QByteArray> parts = hidId.split(':');
    if (parts.size() != 3)
        return std::nullopt;
    bool vendorOk = false, productOk = false;
    const uint vendor = parts[1].toUInt(&vendorOk, 16);
    const uint product = parts[2].toUInt(&productOk, 16);
    if (!vendorOk || !productOk || vendor > 0xffff || product > 0xffff)
        return std::nullopt;
    return std::pair{static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(product)};
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
    std::function<void(UsbChange, const QByteArray& devicePath)> report) {
    if (!context_)
        return nullptr;
    struct Queue {
        std::deque<UsbEvent> pending;
        std::function<void(UsbChange, const QByteArray&)> report;
    };
    auto queue = std::make_shared<Queue>();
    queue->report = std::move(report);
    auto take = [queue](udev_device* d) {
        if (auto event = usbEvent(d))
            queue->pending.push_back(std::move(*event));
    };
    // Every device of the burst is reported even when one report fails; the
    // first failure is passed on afterwards.
    auto burst = [queue] {
        std::exception_ptr failure;
        while (!queue->pending.empty()) {
            const UsbEvent event = std::move(queue->pending.front());
            queue->pending.pop_front();
            try {
                queue->report(event.change, event.path);
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

std::vector<HidDeviceInfo> UdevDevices::presentHidDevices() {
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
