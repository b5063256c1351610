#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QStringList>
#include <memory>

#include "PresenceRig.h"
#include "Testbed.h"
#include "core/QtEventLoop.h"
#include "hardware/HidDeviceWatcher.h"
#include "hardware/UsbArrivalWatcher.h"
#include "hardware/udev/UdevDevices.h"
#include "support/HardwareLines.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

QStringList warnings;

void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg)
        warnings << text;
}

// The udev platform, counting the HID passes that enumerate through it.
class CountingPlatform final : public DevicePlatform {
public:
    explicit CountingPlatform(DevicePlatform& real) : real_(real) {}
    std::unique_ptr<DeviceWatch> watchUsbDevices(
        std::function<void(UsbChange, UsbDeviceId)> report) override {
        return real_.watchUsbDevices(std::move(report));
    }
    std::vector<HidDeviceInfo> hidDevicesPresent() override {
        ++enumerations;
        return real_.hidDevicesPresent();
    }
    std::unique_ptr<DeviceWatch> watchHidDevices(std::function<void()> changed) override {
        return real_.watchHidDevices(std::move(changed));
    }
    int enumerations = 0;

private:
    DevicePlatform& real_;
};

// The real udev code on umockdev's test bed: USB and hidraw monitors read on
// the Qt event loop, hidraw enumeration.
class UdevDevicesTest : public ::testing::Test {
protected:
    QtEventLoop loop;
    Testbed bed;
};

// The program's presence handling on the test bed, with a keyboard plugged in
// from the start, and a HID device whose identity cannot be read.
class UdevPresence : public UdevDevicesTest {
protected:
    void SetUp() override {
        keyboard = bed.plugKeyboard(QStringLiteral("1-2"), 1);
        odd = bed.plugUnidentifiableHid(QStringLiteral("1-4"), 2);
        devices = std::make_unique<udev::UdevDevices>(loop);
        rig = std::make_unique<PresenceRig>(*devices, loop);
        rig->presence->usbWatcher()->onRemoval = [this](UsbDeviceId id) {
            removals << UsbIdText(id);
        };
    }
    const auto& hid() { return rig->presence->hidWatcher().devices(); }

    MockUsbDevice keyboard, odd;
    std::unique_ptr<udev::UdevDevices> devices;
    std::unique_ptr<PresenceRig> rig;
    QStringList removals;
};

TEST_F(UdevPresence, TheHoldHardwareAndAKeyboardComeAndGoAsTheKernelShowsThem) {
    ASSERT_TRUE(waitFor(loop, [&] { return hid().size() == 1; }));
    EXPECT_EQ(hid()[0]->identity().vendorId, 0x04d9);
    EXPECT_EQ(hid()[0]->instance(), keyboard.hidraw.toUtf8());

    // Plugged in: the arrival is recognised, the HID interface listed.
    const MockUsbDevice hold = bed.plugHoldHardware(QStringLiteral("1-1"), 0);
    ASSERT_TRUE(waitFor(loop, [&] { return rig->log.lines.size() == 2 && hid().size() == 2; }));
    EXPECT_EQ(rig->log.lines, kHardwareBackLines);
    EXPECT_TRUE(rig->startTimer->enabled());
    EXPECT_EQ(rig->pluggedBackTold, 1);
    const HidDevice& holdHid = *hid()[1];
    EXPECT_EQ(holdHid.identity().vendorId, 0x0416);
    EXPECT_EQ(holdHid.identity().productId, 0x8200);
    EXPECT_EQ(holdHid.instance(), hold.hidraw.toUtf8());
    EXPECT_EQ(holdHid.path(), "/dev/hidraw0");

    // The keyboard goes: its unplug changes nothing.
    bed.pull(keyboard);
    ASSERT_TRUE(waitFor(loop, [&] { return hid().size() == 1; }));
    EXPECT_EQ(rig->log.lines.size(), 2);
    EXPECT_TRUE(rig->state.channel.active);

    // The hold hardware goes, its attributes gone before udev tells, as on a
    // real system: the channel goes down, and the removal still names it.
    bed.removeAttribute(hold.usb, "idVendor");
    bed.pull(hold);
    ASSERT_TRUE(waitFor(loop, [&] { return hid().empty() && rig->log.lines.size() == 3; }));
    EXPECT_EQ(rig->log.lines.last(), kHardwareGoneLine);
    EXPECT_EQ(rig->unpluggedTold, 1);
    EXPECT_FALSE(rig->state.channel.active);
    EXPECT_EQ(rig->player.calls.last(), QStringLiteral("stop"));
    ASSERT_TRUE(waitFor(loop, [&] { return removals.size() == 2; }));
    EXPECT_EQ(removals, (QStringList{"04d9:1603", "0416:8200"}));
}

TEST_F(UdevDevicesTest, AHubWithTenDevicesIsOneBurstAndOnePass) {
    udev::UdevDevices udev(loop);
    CountingPlatform devices(udev);
    HidDeviceWatcher hidWatcher(devices, loop);
    UsbArrivalWatcher usb(devices);
    QStringList arrivals;
    usb.onArrival = [&](UsbDeviceId id) { arrivals << UsbIdText(id); };
    ASSERT_TRUE(waitFor(loop, [&] { return devices.enumerations == 1; }));

    // All of it announced before the loop runs again.
    const MockUsbDevice hub = bed.plugHub(QStringLiteral("1-3"));
    for (int i = 1; i <= 10; ++i)
        bed.plugKeyboard(QStringLiteral("1-3.%1").arg(i), i, hub.usb);
    ASSERT_TRUE(
        waitFor(loop, [&] { return arrivals.size() == 11 && hidWatcher.devices().size() == 10; }));
    // Give a second pass every chance to run: there is none.
    waitFor(
        loop, [] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(devices.enumerations, 2);
    EXPECT_EQ(arrivals.count(QStringLiteral("04d9:1603")), 10);
    EXPECT_EQ(arrivals.first(), QStringLiteral("05e3:0610"));
}

// The hold hardware pulled out and plugged back three times while the UI
// thread was busy (everything announced before the loop runs again, with the
// node paths of the first plug): each going is seen, and in the kernel's
// order, before the arrival that follows it.
TEST_F(UdevDevicesTest, FastUnplugCyclesAreEachSeenInTheKernelsOrder) {
    udev::UdevDevices devices(loop);
    HidDeviceWatcher hid(devices, loop);
    UsbArrivalWatcher usb(devices);
    QStringList seen;
    hid.onUnplug = [&](HidDevice& d) {
        seen << QStringLiteral("unplug ") + UsbIdText({.vendorId = d.identity().vendorId,
                                                       .productId = d.identity().productId});
    };
    usb.onArrival = [&](UsbDeviceId id) { seen << QStringLiteral("arrival ") + UsbIdText(id); };
    MockUsbDevice hold = bed.plugHoldHardware(QStringLiteral("1-1"), 0);
    ASSERT_TRUE(waitFor(loop, [&] { return seen.size() == 1 && hid.devices().size() == 1; }));

    for (int cycle = 0; cycle < 3; ++cycle) {
        bed.pull(hold);
        hold = bed.plugHoldHardware(QStringLiteral("1-1"), 0);
    }
    ASSERT_TRUE(waitFor(loop, [&] { return seen.size() >= 7; })) << seen.join('\n').toStdString();
    waitFor(
        loop, [] { return false; }, std::chrono::milliseconds(300));
    QStringList expected{QStringLiteral("arrival 0416:8200")};
    for (int cycle = 0; cycle < 3; ++cycle)
        expected << QStringLiteral("unplug 0416:8200") << QStringLiteral("arrival 0416:8200");
    EXPECT_EQ(seen, expected);
    ASSERT_EQ(hid.devices().size(), 1u);
    EXPECT_EQ(hid.devices()[0]->identity().productId, 0x8200);
}

// A report that fails costs none of the others of its burst: the hold
// hardware plugged in along with a hub and a keyboard is still reported, and
// the first failure reaches the error handler afterwards.
TEST_F(UdevDevicesTest, AReportThatFailsLosesNoOtherDeviceOfItsBurst) {
    udev::UdevDevices devices(loop);
    UsbArrivalWatcher usb(devices);
    QStringList arrivals, failures;
    usb.onArrival = [&](UsbDeviceId id) {
        if (id != kHoldHardwareUsbId)
            throw std::runtime_error("alert failed for " + UsbIdText(id).toStdString());
        arrivals << UsbIdText(id);
    };
    loop.setUncaughtHandler([&](const std::exception& e) { failures << e.what(); });

    const MockUsbDevice hub = bed.plugHub(QStringLiteral("1-3"));
    bed.plugKeyboard(QStringLiteral("1-3.1"), 1, hub.usb);
    bed.plugHoldHardware(QStringLiteral("1-1"), 0);
    const bool reported = waitFor(loop, [&] { return !arrivals.isEmpty(); });
    loop.setUncaughtHandler(nullptr);
    ASSERT_TRUE(reported) << failures.join('\n').toStdString();
    EXPECT_EQ(arrivals, QStringList{"0416:8200"});
    EXPECT_EQ(failures, QStringList{"alert failed for 05e3:0610"});
}

TEST_F(UdevDevicesTest, AUsbDeviceWhoseIdsCannotBeReadIsNotReported) {
    udev::UdevDevices devices(loop);
    QStringList reports;
    auto watch = devices.watchUsbDevices([&](UsbChange change, UsbDeviceId id) {
        reports << (change == UsbChange::Arrival ? QStringLiteral("+") : QStringLiteral("-")) +
                       UsbIdText(id);
    });
    // The hold hardware comes and goes after the odd device each time, so
    // the odd one would be reported first.
    const MockUsbDevice odd = bed.plugUnidentifiableUsb(QStringLiteral("1-5"));
    const MockUsbDevice hold = bed.plugHoldHardware(QStringLiteral("1-1"), 0);
    ASSERT_TRUE(waitFor(loop, [&] { return reports.contains(QStringLiteral("+0416:8200")); }));
    bed.pull(odd);
    bed.pull(hold);
    ASSERT_TRUE(waitFor(loop, [&] { return reports.contains(QStringLiteral("-0416:8200")); }));
    EXPECT_EQ(reports, (QStringList{"+0416:8200", "-0416:8200"}));
}

TEST_F(UdevDevicesTest, AMonitorSocketThatFailsIsReplacedOnceLoggedAndTheWatchGoesOn) {
    udev::UdevDevices devices(loop);
    QStringList arrivals;
    auto watch =
        devices.watchUsbDevices([&](UsbChange, UsbDeviceId id) { arrivals << UsbIdText(id); });
    auto* udevWatch = dynamic_cast<udev::UdevWatch*>(watch.get());
    ASSERT_NE(udevWatch, nullptr);
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);

    // Twice a socket at its end, which stays readable with nothing to read.
    for (int failure = 0; failure < 2; ++failure) {
        const int broken = udevWatch->fd();
        ASSERT_EQ(::shutdown(broken, SHUT_RD), 0);
        // The new monitor is made before the old one is let go.
        ASSERT_TRUE(waitFor(loop, [&] { return udevWatch->fd() != broken; }));
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings.size(), 1) << warnings.join('\n').toStdString();

    bed.plugHoldHardware(QStringLiteral("1-1"), 0);
    ASSERT_TRUE(waitFor(loop, [&] { return arrivals.size() == 1; }));
    EXPECT_EQ(arrivals[0], QStringLiteral("0416:8200"));
}

}  // namespace
