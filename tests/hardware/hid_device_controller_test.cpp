#include <gtest/gtest.h>

#include <QStringList>

#include "core/VirtualEventLoop.h"
#include "hardware/HidDeviceController.h"
#include "support/FakeDevices.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

HidDeviceInfo Keyboard() {
    return {.instance = "hid-keyboard",
            .path = "/dev/hidraw2",
            .vendorId = 0x04d9,
            .productId = 0x1603};
}

class HidController : public ::testing::Test {
protected:
    void SetUp() override { devices.hid = {HoldHardwareHid(), MouseHid(), Keyboard()}; }

    // A controller wired to record its events, its initial pass run.
    std::unique_ptr<THidDeviceController> start() {
        auto c = std::make_unique<THidDeviceController>(devices, loop);
        c->OnDeviceUnplug = [this](THidDevice& d) {
            events << QStringLiteral("unplug ") + QString::fromLatin1(d.DevInst());
            EXPECT_FALSE(d.IsPluggedIn());
        };
        c->OnRemoval = [this](THidDevice& d) {
            events << QStringLiteral("removal ") + QString::fromLatin1(d.DevInst());
        };
        c->OnArrival = [this](THidDevice& d) {
            events << QStringLiteral("arrival ") + QString::fromLatin1(d.DevInst());
        };
        c->OnDeviceChange = [this](THidDeviceController&) { events << QStringLiteral("change"); };
        loop.processPendingMessages();
        return c;
    }

    VirtualEventLoop loop;
    FakeDevicePlatform devices;
    QStringList events;
};

TEST_F(HidController, TheInitialPassListsThePresentDevicesAndRaisesOneChangeAndNoUnplug) {
    auto hidCtl = start();
    EXPECT_EQ(events, (QStringList{"arrival hid-hold-0", "arrival hid-mouse",
                                   "arrival hid-keyboard", "change"}));
    ASSERT_EQ(hidCtl->Devices().size(), 3u);
    const THidDevice& hold = *hidCtl->Devices()[0];
    EXPECT_EQ(hold.Attributes().VendorID, 0x0416);
    EXPECT_EQ(hold.Attributes().ProductID, 0x8200);
    EXPECT_EQ(hold.DevicePath(), "/dev/hidraw0");

    // Nothing changed: a pass raises nothing.
    events.clear();
    devices.hidChanged();
    EXPECT_EQ(events, QStringList{});
}

TEST_F(HidController, DevicesThatVanishAreUnpluggedLastEntryFirstAndOnlyOnce) {
    auto hidCtl = start();
    events.clear();
    devices.hid = {MouseHid()};
    devices.hidChanged();
    EXPECT_EQ(events, (QStringList{"unplug hid-keyboard", "removal hid-keyboard",
                                   "unplug hid-hold-0", "removal hid-hold-0", "change"}));
    ASSERT_EQ(hidCtl->Devices().size(), 1u);

    // Back again: a new device object, appended, whose unplug is fresh.
    events.clear();
    devices.hid = {HoldHardwareHid(), MouseHid()};
    devices.hidChanged();
    EXPECT_EQ(events, (QStringList{"arrival hid-hold-0", "change"}));
    EXPECT_EQ(hidCtl->Devices().back()->DevInst(), "hid-hold-0");
}

TEST_F(HidController, AnUnplugThatFailsIsNeverRaisedAgainAndLaterPassesStillRun) {
    THidDeviceController hidCtl(devices, loop);
    int unplugs = 0;
    hidCtl.OnDeviceUnplug = [&](THidDevice&) {
        ++unplugs;
        throw std::runtime_error("player gone");
    };
    loop.processPendingMessages();

    devices.hid = {MouseHid(), Keyboard()};
    EXPECT_THROW(devices.hidChanged(), std::runtime_error);
    EXPECT_EQ(unplugs, 1);
    // The failed entry is still listed, marked unplugged; the next pass drops
    // it without a second call.
    ASSERT_EQ(hidCtl.Devices().size(), 3u);
    EXPECT_FALSE(hidCtl.Devices()[0]->IsPluggedIn());
    devices.hidChanged();
    EXPECT_EQ(unplugs, 1);
    EXPECT_EQ(hidCtl.Devices().size(), 2u);
}

TEST_F(HidController, ANotificationDuringAPassIsDroppedNotDeferred) {
    auto hidCtl = start();
    events.clear();
    int enumerationsInside = 0;
    devices.onEnumerate = [&] {
        devices.onEnumerate = nullptr;
        const int before = devices.enumerations;
        devices.hidChanged();
        enumerationsInside = devices.enumerations - before;
    };
    devices.hid = {HoldHardwareHid()};
    devices.hidChanged();
    EXPECT_EQ(enumerationsInside, 0);
    EXPECT_EQ(events.count(QStringLiteral("change")), 1);
    loop.processPendingMessages();
    EXPECT_EQ(devices.enumerations, 2);  // the initial pass and this one, nothing deferred
}

TEST_F(HidController, DestructionRaisesNoUnplugAndRunsNoPendingPass) {
    {
        THidDeviceController hidCtl(devices, loop);
        hidCtl.OnDeviceUnplug = [&](THidDevice&) { events << QStringLiteral("unplug"); };
        loop.processPendingMessages();
        devices.hid.clear();
    }
    // The pass a notification posts after the end is dropped too.
    auto hidCtl = std::make_unique<THidDeviceController>(devices, loop);
    hidCtl.reset();
    loop.processPendingMessages();
    EXPECT_EQ(events, QStringList{});
    EXPECT_EQ(devices.enumerations, 1);
}

TEST_F(HidController, WithoutADeviceWatchTheControllerStaysInert) {
    devices.watchable = false;
    auto hidCtl = start();
    EXPECT_TRUE(hidCtl->inert());
    EXPECT_EQ(devices.enumerations, 0);
    EXPECT_EQ(events, QStringList{});
}

}  // namespace
