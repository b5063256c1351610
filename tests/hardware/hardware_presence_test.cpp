#include <gtest/gtest.h>

#include <QStringList>

#include "PresenceRig.h"
#include "core/VirtualEventLoop.h"
#include "support/HardwareLines.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

const QString kAlertText = QStringLiteral("Canal 1 localizado e conectado com sucesso.");

// The rig on fake devices, with the hold hardware and a mouse plugged in.
class Presence : public ::testing::Test {
protected:
    void SetUp() override {
        devices.hid = {HoldHardwareHid(), MouseHid()};
        loop.processPendingMessages();  // the HID watcher's first pass
        // Each device call with the blocked time it came at.
        for (auto* control : {&rig.player, &rig.monitor}) {
            control->onCall = [this](const QString& call) {
                calls << QStringLiteral("%1 @%2").arg(call).arg(loop.pausedMs());
            };
        }
    }
    void pullOut(const char* instance) {
        std::erase_if(devices.hid, [&](const HidDeviceInfo& d) { return d.instance == instance; });
        devices.hidChanged();
    }

    VirtualEventLoop loop;
    FakeDevicePlatform devices;
    PresenceRig rig{devices, loop};
    QStringList calls;
};

TEST_F(Presence, TheHoldHardwareArrivingArmsTheChannelTellsItAndPopsTheAlert) {
    devices.usb(UsbChange::Arrival, kHoldHardwareUsbId);
    EXPECT_EQ(rig.log.lines, kHardwareBackLines);
    EXPECT_EQ(rig.pluggedBackTold, 1);
    EXPECT_EQ(rig.alert.text(), kAlertText);
    EXPECT_EQ(rig.alert.popups, 1);

    // A second arrival 2 s later says and tells so again but restarts no
    // countdown.
    loop.advance(2000);
    devices.usb(UsbChange::Arrival, kHoldHardwareUsbId);
    EXPECT_EQ(rig.log.lines, kHardwareBackLines + kHardwareBackLines);
    EXPECT_EQ(rig.pluggedBackTold, 2);
    EXPECT_EQ(rig.alert.popups, 2);
    loop.advance(3999);
    EXPECT_EQ(rig.opened, 0);
    loop.advance(1);
    EXPECT_EQ(rig.opened, 1);
    loop.advance(10000);
    EXPECT_EQ(rig.opened, 1);
    EXPECT_EQ(rig.unpluggedTold, 0);
}

TEST_F(Presence, AnyOtherUsbDeviceOrAnyRemovalDoesNothing) {
    for (const UsbDeviceId id :
         {kMouseUsbId, UsbDeviceId{.vendorId = 0x0416, .productId = 0x8201},
          UsbDeviceId{.vendorId = 0x0417, .productId = 0x8200},
          UsbDeviceId{.vendorId = 0x8200, .productId = 0x0416}, UsbDeviceId{}}) {
        devices.usb(UsbChange::Arrival, id);
    }
    devices.usb(UsbChange::Removal, kHoldHardwareUsbId);
    EXPECT_EQ(rig.log.lines, QStringList{});
    EXPECT_FALSE(rig.startTimer->enabled());
    EXPECT_EQ(rig.alert.popups, 0);
    EXPECT_EQ(rig.pluggedBackTold, 0);
}

TEST_F(Presence, PullingTheHoldHardwareOutTakesTheChannelDown) {
    pullOut("hid-hold-0");
    EXPECT_EQ(rig.log.lines, QStringList{kHardwareGoneLine});
    EXPECT_EQ(rig.unpluggedTold, 1);
    EXPECT_FALSE(rig.state.channel.active);
    EXPECT_EQ(calls, (QStringList{"stopCapture @0", "open default | default @850", "stop @2350"}));
    EXPECT_TRUE(rig.player.playbackDevice().isSystemDefault());
    EXPECT_TRUE(rig.player.captureDevice().isSystemDefault());
    EXPECT_EQ(rig.pluggedBackTold, 0);
}

// Only both ids together are the hold hardware: another device of its maker,
// or another maker's device with the same product number, leaves the line
// on air when pulled out.
TEST_F(Presence, AnUnplugOfADeviceThatSharesOnlyOneIdDoesNothing) {
    struct Other {
        const char* instance;
        std::uint16_t vendorId, productId;
    };
    for (const Other& o :
         {Other{"hid-same-maker", 0x0416, 0x8201}, Other{"hid-same-product", 0x0417, 0x8200},
          Other{"hid-ids-swapped", 0x8200, 0x0416}}) {
        SCOPED_TRACE(o.instance);
        devices.hid.push_back({.instance = o.instance,
                               .path = "/dev/hidraw9",
                               .vendorId = o.vendorId,
                               .productId = o.productId});
        devices.hidChanged();
        pullOut(o.instance);
        EXPECT_EQ(rig.log.lines, QStringList{});
        EXPECT_EQ(calls, QStringList{});
        EXPECT_TRUE(rig.state.channel.active);
    }
}

// Pulled out and plugged back faster than the channel reopens: each arrival
// the log tells is followed by the going the log tells, in turn, and each
// going is told to whoever mails.
TEST_F(Presence, EachArrivalToldIsMatchedByTheNextUnplugEvenBeforeTheChannelReopens) {
    QStringList expected;
    for (int cycle = 0; cycle < 3; ++cycle) {
        devices.unplugHoldHardware();
        expected << kHardwareGoneLine;
        loop.advance(400);
        devices.replugHoldHardware();
        expected << kHardwareBackLines;
        loop.advance(400);
    }
    EXPECT_EQ(rig.log.lines, expected);
    EXPECT_EQ(rig.unpluggedTold, 3);
    EXPECT_EQ(rig.pluggedBackTold, 3);

    // Back on air, an unplug says so once, as before.
    rig.state.channel.active = true;
    devices.unplugHoldHardware();
    devices.hidChanged();
    EXPECT_EQ(rig.log.lines, expected << kHardwareGoneLine);
    EXPECT_EQ(rig.unpluggedTold, 4);
}

TEST_F(Presence, AMouseUnplugDoesNothing) {
    pullOut("hid-mouse");
    EXPECT_EQ(rig.log.lines, QStringList{});
    EXPECT_EQ(calls, QStringList{});
    EXPECT_TRUE(rig.state.channel.active);
    EXPECT_EQ(rig.unpluggedTold, 0);
}

// The hardware with two HID interfaces: the first run finds the channel on
// air and says and tells so; every run stops and pauses.
TEST_F(Presence, SeveralHidInterfacesOfTheHoldHardwareGiveOneLine) {
    devices.hid.push_back(HoldHardwareHid("hid-hold-1"));
    devices.hidChanged();
    devices.hid = {MouseHid()};
    devices.hidChanged();
    EXPECT_EQ(rig.log.lines, QStringList{kHardwareGoneLine});
    EXPECT_EQ(calls.filter(QStringLiteral("stop @")).size(), 2);
    EXPECT_EQ(loop.pausedMs(), 2 * 2350);
    EXPECT_EQ(rig.unpluggedTold, 1);
}

TEST_F(Presence, AnUnplugDuringASwapOrWhileClosingDoesNothingThenOrLater) {
    rig.state.swap.replaySuspended = true;
    pullOut("hid-hold-0");
    rig.state.swap.replaySuspended = false;
    devices.hidChanged();
    EXPECT_EQ(rig.log.lines, QStringList{});
    EXPECT_EQ(calls, QStringList{});
    EXPECT_TRUE(rig.state.channel.active);
    EXPECT_EQ(rig.unpluggedTold, 0);
}

TEST_F(Presence, AStopCaptureThatFailsIsSwallowedWithItsPause) {
    rig.monitor.onCall = [](const QString& call) {
        if (call == QStringLiteral("stopCapture"))
            throw WaveError(QStringLiteral("capture gone"));
    };
    pullOut("hid-hold-0");
    EXPECT_EQ(rig.log.lines, QStringList{kHardwareGoneLine});
    EXPECT_EQ(calls, (QStringList{"open default | default @0", "stop @1500"}));
}

TEST_F(Presence, StoppingTheUsbWatchEndsItsReportsAndAFailureIsLogged) {
    devices.stopFails = true;
    rig.presence->stopUsbWatch();
    EXPECT_EQ(rig.log.lines, QStringList{QStringLiteral("Erro ao desligar analize USB")});
    devices.usb(UsbChange::Arrival, kHoldHardwareUsbId);
    EXPECT_EQ(rig.log.lines.size(), 1);
    rig.presence->stopUsbWatch();  // released once only
    EXPECT_EQ(rig.log.lines.size(), 1);
}

}  // namespace
