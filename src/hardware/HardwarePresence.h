#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <memory>

#include "hardware/HidDeviceController.h"
#include "hardware/UsbClass.h"

namespace quindra {

class Alert;
class EventLoop;
class MailNotices;
class MessageLog;
class Timer;
class WaveControl;
struct RuntimeState;

// The main window's reactions to the hold hardware coming and going: its USB
// arrival arms the channel's start timer, the loss of its HID interface takes
// the channel down.
class HardwarePresence {
public:
    static constexpr std::uint16_t kHoldVendorId = 0x0416;
    static constexpr std::uint16_t kHoldProductId = 0x8200;
    // Blocking pauses of the unplug: after the capture stops, and before the
    // player stops.
    static constexpr int kAfterStopRecordMs = 850;
    static constexpr int kBeforeStopPlayMs = 1500;

    struct Ports {
        DevicePlatform& devices;
        EventLoop& loop;
        const RuntimeState& state;
        MessageLog& log;
        MailNotices& mail;
        Timer& tHid;  // opens the channel and starts the message
        WaveControl& PlayC1;
        WaveControl& wCanal1;
        Alert& Alerta;
        // Clears active, which the channel owns.
        std::function<void()> channelUnplugged;
    };

    // The HID controller comes with the window, its unplug wired.
    explicit HardwarePresence(Ports ports);
    ~HardwarePresence();
    HardwarePresence(const HardwarePresence&) = delete;
    HardwarePresence& operator=(const HardwarePresence&) = delete;

    // Start-up: the USB arrival watcher, reporting arrivals only.
    void CreateUsbWatcher();
    // Exit: releases the watcher; a failure is logged and the exit goes on.
    void ReleaseUsbWatcher();

    void OnUsbArrival(TUsbClass& sender, const QByteArray& first, const QByteArray& IdSegment,
                      const QByteArray& third);
    void HidCtlDeviceUnplug(THidDevice& HidDev);
    void HidCtlDeviceChange(THidDeviceController&) {}

    TUsbClass* usbWatcher() { return usb_.get(); }
    THidDeviceController& HidCtl() { return *hidCtl_; }

private:
    Ports p_;
    std::unique_ptr<TUsbClass> usb_;
    std::unique_ptr<THidDeviceController> hidCtl_;
};

}  // namespace quindra
