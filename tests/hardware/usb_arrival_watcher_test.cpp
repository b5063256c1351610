#include <gtest/gtest.h>

#include <QStringList>

#include "hardware/UsbArrivalWatcher.h"
#include "support/FakeDevices.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

TEST(UsbArrivalWatcher, ReportsArrivalsAndRemovalsToTheirCallbacksUntilReleased) {
    FakeDevicePlatform devices;
    UsbArrivalWatcher usb(devices);
    QStringList arrivals, removals;
    usb.onArrival = [&](UsbDeviceId id) { arrivals << UsbIdText(id); };

    devices.usb(UsbChange::Arrival, kHoldHardwareUsbId);
    // No removal callback: the removal is not reported.
    devices.usb(UsbChange::Removal, kHoldHardwareUsbId);
    usb.onRemoval = [&](UsbDeviceId id) { removals << UsbIdText(id); };
    devices.usb(UsbChange::Removal, kMouseUsbId);
    EXPECT_EQ(arrivals, QStringList{"0416:8200"});
    EXPECT_EQ(removals, QStringList{"046d:c077"});

    usb.release();
    EXPECT_FALSE(devices.usbWatched());
    devices.usb(UsbChange::Arrival, kHoldHardwareUsbId);
    EXPECT_EQ(arrivals.size(), 1);
}

TEST(UsbArrivalWatcher, ARegistrationThePlatformRefusesGoesUnnoticed) {
    FakeDevicePlatform devices;
    devices.watchable = false;
    UsbArrivalWatcher usb(devices);
    EXPECT_NO_THROW(usb.release());
}

}  // namespace
