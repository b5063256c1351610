#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "hardware/Alert.h"
#include "hardware/DevicePlatform.h"

namespace quindra::testing {

// The hold hardware as the platform shows it: its USB device and one HID
// interface. Written out, not taken from the code under test.
inline constexpr UsbDeviceId kHoldHardwareUsbId{.vendorId = 0x0416, .productId = 0x8200};
inline HidDeviceInfo HoldHardwareHid(const char* instance = "hid-hold-0") {
    return {.instance = instance,
            .path = "/dev/hidraw0",
            .vendorId = kHoldHardwareUsbId.vendorId,
            .productId = kHoldHardwareUsbId.productId};
}
// A mouse, on USB and on HID.
inline constexpr UsbDeviceId kMouseUsbId{.vendorId = 0x046d, .productId = 0xc077};
inline HidDeviceInfo MouseHid() {
    return {.instance = "hid-mouse",
            .path = "/dev/hidraw1",
            .vendorId = kMouseUsbId.vendorId,
            .productId = kMouseUsbId.productId};
}

// "0416:8200", for readable reports in tests.
inline QString UsbIdText(UsbDeviceId id) {
    return QStringLiteral("%1:%2")
        .arg(id.vendorId, 4, 16, QLatin1Char('0'))
        .arg(id.productId, 4, 16, QLatin1Char('0'));
}

// Devices a test plugs and pulls by hand. Reports reach the watchers at once,
// as they would from the event loop.
class FakeDevicePlatform final : public DevicePlatform {
public:
    std::vector<HidDeviceInfo> hid;  // present now
    bool watchable = true;           // false: the platform gives no watch
    bool stopFails = false;          // withdrawing a watch throws
    int enumerations = 0;
    // Runs in the middle of each enumeration.
    std::function<void()> onEnumerate;

    std::unique_ptr<DeviceWatch> watchUsbDevices(
        std::function<void(UsbChange, UsbDeviceId)> report) override {
        if (!watchable)
            return nullptr;
        usbReport_ = std::move(report);
        return std::make_unique<Watch<decltype(usbReport_)>>(*this, usbReport_);
    }
    std::vector<HidDeviceInfo> hidDevicesPresent() override {
        ++enumerations;
        if (onEnumerate)
            onEnumerate();
        return hid;
    }
    std::unique_ptr<DeviceWatch> watchHidDevices(std::function<void()> changed) override {
        if (!watchable)
            return nullptr;
        hidChanged_ = std::move(changed);
        return std::make_unique<Watch<decltype(hidChanged_)>>(*this, hidChanged_);
    }

    void usb(UsbChange change, UsbDeviceId id) {
        if (usbReport_)
            usbReport_(change, id);
    }
    void hidChanged() {
        if (hidChanged_)
            hidChanged_();
    }
    bool usbWatched() const { return static_cast<bool>(usbReport_); }

    // The hold hardware pulled out and plugged back in, as the platform tells
    // it: the HID interface goes (or comes) and the USB device goes (or comes).
    void unplugHoldHardware() {
        std::erase_if(hid, [](const HidDeviceInfo& d) {
            return d.vendorId == kHoldHardwareUsbId.vendorId &&
                   d.productId == kHoldHardwareUsbId.productId;
        });
        hidChanged();
        usb(UsbChange::Removal, kHoldHardwareUsbId);
    }
    void replugHoldHardware() {
        hid.push_back(HoldHardwareHid());
        usb(UsbChange::Arrival, kHoldHardwareUsbId);
        hidChanged();
    }

private:
    template <typename Slot>
    class Watch final : public DeviceWatch {
    public:
        Watch(FakeDevicePlatform& p, Slot& slot) : p_(p), slot_(slot) {}
        ~Watch() override { slot_ = nullptr; }
        void stop() override {
            slot_ = nullptr;
            if (p_.stopFails)
                throw std::runtime_error("device notification still registered");
        }

    private:
        FakeDevicePlatform& p_;
        Slot& slot_;
    };

    std::function<void(UsbChange, UsbDeviceId)> usbReport_;
    std::function<void()> hidChanged_;
};

class FakeAlert final : public Alert {
public:
    void setText(const QString& t) override { text_ = t; }
    QString text() const override { return text_; }
    void popUp() override { ++popups; }
    int popups = 0;

private:
    QString text_;
};

}  // namespace quindra::testing
