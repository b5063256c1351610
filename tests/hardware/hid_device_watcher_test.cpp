#include <gtest/gtest.h>

#include <QStringList>

#include "core/VirtualEventLoop.h"
#include "hardware/HidDeviceWatcher.h"
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

class HidWatcher : public ::testing::Test {
protected:
    void SetUp() override { devices.hid = {HoldHardwareHid(), MouseHid(), Keyboard()}; }

    // A watcher wired to record its events, its initial pass run.
    std::unique_ptr<HidDeviceWatcher> start() {
        auto c = std::make_unique<HidDeviceWatcher>(devices, loop);
        c->onUnplug = [this](HidDevice& d) {
            events << QStringLiteral("unplug ") + QString::fromLatin1(d.instance());
            EXPECT_FALSE(d.pluggedIn());
        };
        c->onRemoval = [this](HidDevice& d) {
            events << QStringLiteral("removal ") + QString::fromLatin1(d.instance());
        };
        c->onArrival = [this](HidDevice& d) {
            events << QStringLiteral("arrival ") + QString::fromLatin1(d.instance());
        };
        c->onChange = [this](HidDeviceWatcher&) { events << QStringLiteral("change"); };
        loop.processPendingMessages();
        return c;
    }

    VirtualEventLoop loop;
    FakeDevicePlatform devices;
    QStringList events;
};

TEST_F(HidWatcher, TheInitialPassListsThePresentDevicesAndRaisesOneChangeAndNoUnplug) {
    auto watcher = start();
    EXPECT_EQ(events, (QStringList{"arrival hid-hold-0", "arrival hid-mouse",
                                   "arrival hid-keyboard", "change"}));
    ASSERT_EQ(watcher->devices().size(), 3u);
    const HidDevice& hold = *watcher->devices()[0];
    EXPECT_EQ(hold.identity().vendorId, 0x0416);
    EXPECT_EQ(hold.identity().productId, 0x8200);
    EXPECT_EQ(hold.path(), "/dev/hidraw0");

    // Nothing changed: a pass raises nothing.
    events.clear();
    devices.hidChanged();
    EXPECT_EQ(events, QStringList{});
}

TEST_F(HidWatcher, DevicesThatVanishAreUnpluggedLastEntryFirstAndOnlyOnce) {
    auto watcher = start();
    events.clear();
    devices.hid = {MouseHid()};
    devices.hidChanged();
    EXPECT_EQ(events, (QStringList{"unplug hid-keyboard", "removal hid-keyboard",
                                   "unplug hid-hold-0", "removal hid-hold-0", "change"}));
    ASSERT_EQ(watcher->devices().size(), 1u);

    // Back again: a new device object, appended, whose unplug is fresh.
    events.clear();
    devices.hid = {HoldHardwareHid(), MouseHid()};
    devices.hidChanged();
    EXPECT_EQ(events, (QStringList{"arrival hid-hold-0", "change"}));
    EXPECT_EQ(watcher->devices().back()->instance(), "hid-hold-0");
}

TEST_F(HidWatcher, AnUnplugThatFailsIsNeverRaisedAgainAndLaterPassesStillRun) {
    HidDeviceWatcher watcher(devices, loop);
    int unplugs = 0;
    watcher.onUnplug = [&](HidDevice&) {
        ++unplugs;
        throw std::runtime_error("player gone");
    };
    loop.processPendingMessages();

    devices.hid = {MouseHid(), Keyboard()};
    EXPECT_THROW(devices.hidChanged(), std::runtime_error);
    EXPECT_EQ(unplugs, 1);
    // The failed entry is still listed, marked unplugged; the next pass drops
    // it without a second call.
    ASSERT_EQ(watcher.devices().size(), 3u);
    EXPECT_FALSE(watcher.devices()[0]->pluggedIn());
    devices.hidChanged();
    EXPECT_EQ(unplugs, 1);
    EXPECT_EQ(watcher.devices().size(), 2u);
}

TEST_F(HidWatcher, ANotificationDuringAPassIsDroppedNotDeferred) {
    auto watcher = start();
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

TEST_F(HidWatcher, DestructionRaisesNoUnplugAndRunsNoPendingPass) {
    {
        HidDeviceWatcher watcher(devices, loop);
        watcher.onUnplug = [&](HidDevice&) { events << QStringLiteral("unplug"); };
        loop.processPendingMessages();
        devices.hid.clear();
    }
    // The pass a notification posts after the end is dropped too.
    auto watcher = std::make_unique<HidDeviceWatcher>(devices, loop);
    watcher.reset();
    loop.processPendingMessages();
    EXPECT_EQ(events, QStringList{});
    EXPECT_EQ(devices.enumerations, 1);
}

TEST_F(HidWatcher, WithoutADeviceWatchTheWatcherStaysInert) {
    devices.watchable = false;
    auto watcher = start();
    EXPECT_TRUE(watcher->inert());
    EXPECT_EQ(devices.enumerations, 0);
    EXPECT_EQ(events, QStringList{});
}

}  // namespace
