#include "hardware/udev/UdevDevices.h"

#include <QList>
#include <algorithm>
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

// The ids in the kernel's name of a hid device, bus:vendor:product.number in
// hex ("0003:0416:8200.0001"), the nearest such name in a node's path.
std::optional<std::pair<std::uint16_t, std::uint16_t>> hidIdsInPath(const QByteArray& syspath) {
    const QList<QByteArray> parts = syspath.split('/');
    for (auto part = parts.crbegin(); part != parts.crend(); ++part) {
        const QList<QByteArray> f = part->split(':');
        if (f.size() != 3 || f[0].size() != 4 || f[1].size() != 4 || f[2].size() != 9 ||
            f[2][4] != '.')
            continue;
        const auto vendor = hexId(f[1]);
        const auto product = hexId(f[2].left(4));
        if (vendor && product)
            return std::pair{*vendor, *product};
    }
    return std::nullopt;
}

// A hidraw node's identity: its parent hid device's HID_ID while the node is
// in sysfs. A node already gone again by the time its arrival is read has no
// attributes left; the kernel's name of its hid device, in its path, still
// holds the ids.
std::optional<HidDeviceInfo> hidDevice(::udev* context, const QByteArray& syspath,
                                       QByteArray devnode) {
    std::optional<std::pair<std::uint16_t, std::uint16_t>> ids;
    if (DevicePtr node{udev_device_new_from_syspath(context, syspath.constData())}) {
        // Owned by the node.
        udev_device* hid =
            udev_device_get_parent_with_subsystem_devtype(node.get(), "hid", nullptr);
        if (!hid)
            return std::nullopt;
        ids = hidIds(text(udev_device_get_property_value(hid, "HID_ID")));
        if (devnode.isEmpty())
            devnode = text(udev_device_get_devnode(node.get()));
    } else {
        ids = hidIdsInPath(syspath);
    }
    if (!ids)
        return std::nullopt;
    HidDeviceInfo info;
    info.instance = syspath;
    info.path = devnode.isEmpty() ? syspath : devnode;
    info.vendorId = ids->first;
    info.productId = ids->second;
    return info;
}

}  // namespace

void UdevWatch::stop() {
    if (!monitor_)
        return;
    monitor_.reset();
    if (const auto ended = std::exchange(ended_, nullptr))
        ended();
}

UdevDevices::UdevDevices(EventLoop& loop) : loop_(loop), context_(udev_new()) {}

UdevDevices::~UdevDevices() = default;

std::unique_ptr<DeviceWatch> UdevDevices::watchUsbDevices(
    std::function<void(UsbChange, UsbDeviceId)> report) {
    if (!context_)
        return nullptr;
    auto monitor = std::make_unique<UdevMonitor>(
        context_.get(), loop_, "usb", "usb_device", [this](udev_device* d) { takeUsb(d); },
        [this] { handleEvents(); });
    UdevMonitor* const current = monitor.get();
    usbMonitor_ = current;
    usbReport_ = std::move(report);
    return std::make_unique<UdevWatch>(std::move(monitor), [this, current] {
        if (usbMonitor_ != current)
            return;
        usbMonitor_ = nullptr;
        usbReport_ = nullptr;
        std::erase_if(pending_, [](const Event& e) { return e.usb; });
    });
}

std::unique_ptr<DeviceWatch> UdevDevices::watchHidDevices(std::function<void()> changed) {
    if (!context_)
        return nullptr;
    auto monitor = std::make_unique<UdevMonitor>(
        context_.get(), loop_, "hidraw", QByteArray(), [this](udev_device* d) { takeHid(d); },
        [this] { handleEvents(); },
        [this] {
            hidPresent_.reset();
            hidResync_ = true;
        });
    UdevMonitor* const current = monitor.get();
    hidMonitor_ = current;
    hidChanged_ = std::move(changed);
    hidPresent_.reset();
    return std::make_unique<UdevWatch>(std::move(monitor), [this, current] {
        if (hidMonitor_ != current)
            return;
        hidMonitor_ = nullptr;
        hidChanged_ = nullptr;
        hidPresent_.reset();
        std::erase_if(pending_, [](const Event& e) { return !e.usb; });
    });
}

void UdevDevices::takeUsb(udev_device* d) {
    if (const auto event = usbEvent(d)) {
        Event e;
        e.seqnum = udev_device_get_seqnum(d);
        e.usb = true;
        e.change = event->change;
        e.id = event->id;
        pending_.push_back(std::move(e));
    }
}

void UdevDevices::takeHid(udev_device* d) {
    const QByteArray action = text(udev_device_get_action(d));
    Event e;
    e.seqnum = udev_device_get_seqnum(d);
    e.syspath = text(udev_device_get_syspath(d));
    if (action == "remove") {
        e.change = UsbChange::Removal;
    } else if (action == "add") {
        e.change = UsbChange::Arrival;
        // Read now: the node may be gone again by the time it is handled.
        if (auto info = hidDevice(context_.get(), e.syspath, text(udev_device_get_devnode(d))))
            e.info = std::make_shared<const HidDeviceInfo>(std::move(*info));
    } else {
        return;
    }
    pending_.push_back(std::move(e));
}

void UdevDevices::handleEvents() {
    // The other socket may hold uevents that came before these.
    for (UdevMonitor* monitor : {usbMonitor_, hidMonitor_}) {
        if (monitor)
            monitor->drain();
    }
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Event& a, const Event& b) { return a.seqnum < b.seqnum; });

    // Every report is made even when one fails; the first failure is passed
    // on afterwards.
    std::exception_ptr failure;
    const auto guarded = [&failure](const std::function<void()>& fn) {
        try {
            fn();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    };
    // HID changes are told once for a run of them, but a USB report never
    // overtakes a HID removal, and a node's arrival is listed before a later
    // removal is looked at.
    // After lost uevents a pass reads sysfs again, whatever comes.
    bool hidRemoved = std::exchange(hidResync_, false), hidAdded = false;
    const auto tellHid = [&] {
        if (!hidRemoved && !hidAdded)
            return;
        hidRemoved = hidAdded = false;
        if (const auto changed = hidChanged_)
            guarded(changed);
    };
    while (!pending_.empty()) {
        Event e = std::move(pending_.front());
        pending_.pop_front();
        if (e.usb) {
            if (hidRemoved)
                tellHid();
            if (const auto report = usbReport_)
                guarded([&] { report(e.change, e.id); });
            continue;
        }
        const bool removal = e.change == UsbChange::Removal;
        if (removal && hidAdded)
            tellHid();
        applyHid(e);
        (removal ? hidRemoved : hidAdded) = true;
    }
    tellHid();
    if (failure)
        std::rethrow_exception(failure);
}

void UdevDevices::applyHid(const Event& e) {
    if (e.change == UsbChange::Removal) {
        ++hidRemovals_[e.syspath];
        if (hidPresent_)
            hidPresent_->erase(e.syspath);
        return;
    }
    if (!hidPresent_)
        return;
    if (e.info) {
        HidDeviceInfo info = *e.info;
        info.instance = instanceOf(e.syspath);
        (*hidPresent_)[e.syspath] = std::move(info);
    } else {
        hidPresent_->erase(e.syspath);
    }
}

QByteArray UdevDevices::instanceOf(const QByteArray& syspath) const {
    const auto removals = hidRemovals_.find(syspath);
    if (removals == hidRemovals_.end())
        return syspath;
    return syspath + '#' + QByteArray::number(removals->second);
}

std::vector<HidDeviceInfo> UdevDevices::hidDevicesPresent() {
    if (!context_)
        return {};
    const auto values = [](const std::map<QByteArray, HidDeviceInfo>& byNode) {
        std::vector<HidDeviceInfo> devices;
        for (const auto& [syspath, info] : byNode)
            devices.push_back(info);
        return devices;
    };
    // Without a watch nothing keeps the list up to date: sysfs is read each
    // time.
    if (!hidMonitor_)
        return values(enumerateHid());
    if (!hidPresent_)
        hidPresent_ = enumerateHid();
    return values(*hidPresent_);
}

std::map<QByteArray, HidDeviceInfo> UdevDevices::enumerateHid() {
    std::map<QByteArray, HidDeviceInfo> devices;
    EnumeratePtr scan(udev_enumerate_new(context_.get()));
    if (!scan)
        return devices;
    udev_enumerate_add_match_subsystem(scan.get(), "hidraw");
    // A device that vanishes during the scan makes it report a failure; what
    // it did list is still good.
    udev_enumerate_scan_devices(scan.get());
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
        const QByteArray syspath = text(udev_list_entry_get_name(entry));
        if (auto info = hidDevice(context_.get(), syspath, QByteArray())) {
            info->instance = instanceOf(syspath);
            devices.emplace(syspath, std::move(*info));
        }
    }
    return devices;
}

}  // namespace quindra::udev
