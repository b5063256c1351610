#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "hardware/Alert.h"
#include "hardware/DevicePlatform.h"
#include "hardware/UsbClass.h"

namespace quindra::testing {

// The hold hardware as the platform shows it: its USB device path and one
// HID interface.
inline QByteArray HoldHardwarePath(const QByteArray& serial = "QZ0001") {
    return UsbDeviceInterfacePath("0416", "8200", serial);
}
inline HidDeviceInfo HoldHardwareHid(const char* instance = "hid-hold-0") {
    return {.instance = instance, .path = "/dev/hidraw0", .vendorId = 0x0416, .productId = 0x8200};
}
inline HidDeviceInfo MouseHid() {
    return {
        .instance = "hid-mouse", .path = "/dev/hidraw1", .vendorId = 0x046d, .productId = 0xc077};
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
        std::function<void(UsbChange, const QByteArray&)> report) override {
        if (!watchable)
            return nullptr;
        usbReport_ = std::move(report);
        return std::make_unique<Watch<decltype(usbReport_)>>(*this, usbReport_);
    }
    std::vector<HidDeviceInfo> presentHidDevices() override {
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

    void usb(UsbChange change, const QByteArray& path) {
        if (usbReport_)
            usbReport_(change, path);
    }
    void hidChanged() {
        if (hidChanged_)
            hidChanged_();
    }
    bool usbWatched() const { return static_cast<bool>(usbReport_); }

    // The hold hardware pulled out and plugged back in, as the platform tells
    // it: the HID interface goes (or comes) and the USB device goes (or comes).
    void unplugHoldHardware() {
        std::erase_if(hid, [](const HidDeviceInfo& d) { return d.vendorId == 0x0416; });
        hidChanged();
        usb(UsbChange::Removal, HoldHardwarePath());
    }
    void replugHoldHardware() {
        hid.push_back(HoldHardwareHid());
        usb(UsbChange::Arrival, HoldHardwarePath());
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

    std::function<void(UsbChange, const QByteArray&)> usbReport_;
    std::function<void()> hidChanged_;
};

class FakeAlert final : public Alert {
public:
    void setText(const QString& t) override { text_ = t; }
    QString text() const override { return text_; }
    void Popup() override { ++popups; }
    int popups = 0;

private:
    QString text_;
};

}  // namespace quindra::testing
