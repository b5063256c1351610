#pragma once

#include <functional>
#include <memory>

#include "hardware/DevicePlatform.h"
#include "hardware/HidDeviceWatcher.h"
#include "hardware/UsbArrivalWatcher.h"

namespace quindra {

class Alert;
class EventLoop;
class MessageLog;
class Timer;
class WaveControl;
struct RuntimeState;

// The main window's reactions to the hold hardware coming and going: its USB
// arrival arms the channel's start timer, the loss of its HID interface takes
// the channel down.
class HardwarePresence {
public:
    // The hold hardware's ids, on its USB device and on its HID interface.
    static constexpr UsbDeviceId kHoldHardwareId{.vendorId = 0x0416, .productId = 0x8200};
    // Blocking pauses of the unplug: after the capture stops, and before the
    // player stops.
    static constexpr int kAfterStopCaptureMs = 850;
    static constexpr int kBeforeStopMs = 1500;

    struct Ports {
        DevicePlatform& devices;
        EventLoop& loop;
        const RuntimeState& state;
        MessageLog& log;
        Timer& startTimer;  // opens the channel and starts the message
        WaveControl& player;
        WaveControl& monitor;
        Alert& alert;
        // Clears active, which the channel owns.
        std::function<void()> channelUnplugged;
        // Told when the hold hardware is pulled out while on air, and each
        // time it arrives; whoever sends the notices listens.
        std::function<void()> unplugged;
        std::function<void()> pluggedBack;
    };

    // The HID watcher comes with the window, its unplug wired.
    explicit HardwarePresence(Ports ports);
    ~HardwarePresence();
    HardwarePresence(const HardwarePresence&) = delete;
    HardwarePresence& operator=(const HardwarePresence&) = delete;

    // Start-up: the USB arrival watcher, reporting arrivals only.
    void startUsbWatch();
    // Exit: releases the watcher; a failure is logged and the exit goes on.
    void stopUsbWatch();

    void usbArrived(UsbDeviceId id);
    void hidUnplugged(HidDevice& device);

    UsbArrivalWatcher* usbWatcher() { return usb_.get(); }
    HidDeviceWatcher& hidWatcher() { return *hid_; }

private:
    Ports p_;
    std::unique_ptr<UsbArrivalWatcher> usb_;
    std::unique_ptr<HidDeviceWatcher> hid_;
    // The log said the hardware arrived and has not said since that it went.
    bool saidArrived_ = false;
};

}  // namespace quindra
