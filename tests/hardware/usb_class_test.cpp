#include <gtest/gtest.h>

#include "hardware/UsbClass.h"
#include "support/FakeDevices.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

struct PathCase {
    const char* what;
    QByteArray path;
    QByteArray IdSegment;
};

TEST(ParseDeviceName, TheIdSegmentLiesBetweenTheFirstTwoHashesWithin1026Characters) {
    const QByteArray filler(1024, 'x');
    const PathCase cases[] = {
        {"the hold hardware", HoldHardwarePath(), "Vid_0416&Pid_8200"},
        {"capitals are kept", "\\\\?\\USB#VID_0416&PID_8200#1#{a5dcbf10}", "VID_0416&PID_8200"},
        {"empty", "", ""},
        {"no hash", "\\\\?\\USB_Vid_0416&Pid_8200", ""},
        {"one hash", "\\\\?\\USB#Vid_0416&Pid_8200", ""},
        {"empty segment", "a##b", ""},
        {"second hash as the 1026th character", "a#" + filler + "x#", filler + "x"},
        {"second hash past 1026 characters", "a#" + filler + "xy#", ""},
    };
    for (const auto& c : cases) {
        const auto parts = TUsbClass::ParseDeviceName(c.path);
        EXPECT_EQ(parts.IdSegment, c.IdSegment) << c.what;
        EXPECT_TRUE(parts.first.isEmpty()) << c.what;
        EXPECT_TRUE(parts.third.isEmpty()) << c.what;
    }
}

TEST(UsbClass, ReportsArrivalsAndRemovalsToTheirSlotsUntilReleased) {
    FakeDevicePlatform devices;
    TUsbClass usb(devices);
    QList<QByteArray> arrivals, removals;
    usb.OnDeviceArrival = [&](TUsbClass& sender, const QByteArray&, const QByteArray& id,
                              const QByteArray&) {
        EXPECT_EQ(&sender, &usb);
        arrivals << id;
    };

    devices.usb(UsbChange::Arrival, HoldHardwarePath());
    // No removal slot: the removal is not reported.
    devices.usb(UsbChange::Removal, HoldHardwarePath());
    usb.OnDeviceRemoval = [&](TUsbClass&, const QByteArray&, const QByteArray& id,
                              const QByteArray&) { removals << id; };
    devices.usb(UsbChange::Removal, UsbDeviceInterfacePath("046d", "c077", "7"));
    EXPECT_EQ(arrivals, QList<QByteArray>{"Vid_0416&Pid_8200"});
    EXPECT_EQ(removals, QList<QByteArray>{"Vid_046d&Pid_c077"});

    usb.Release();
    EXPECT_FALSE(devices.usbWatched());
    devices.usb(UsbChange::Arrival, HoldHardwarePath());
    EXPECT_EQ(arrivals.size(), 1);
}

TEST(UsbClass, ARegistrationThePlatformRefusesGoesUnnoticed) {
    FakeDevicePlatform devices;
    devices.watchable = false;
    TUsbClass usb(devices);
    EXPECT_NO_THROW(usb.Release());
}

}  // namespace
