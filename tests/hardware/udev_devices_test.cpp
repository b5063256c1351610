#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QStringList>
#include <memory>

#include "Testbed.h"
#include "core/QtEventLoop.h"
#include "core/Runtime.h"
#include "hardware/HardwarePresence.h"
#include "hardware/udev/UdevDevices.h"
#include "mail/MailNotices.h"
#include "support/FakeDevices.h"
#include "support/FakeLog.h"
#include "support/FakeWaveControl.h"

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
        std::function<void(UsbChange, const QByteArray&)> report) override {
        return real_.watchUsbDevices(std::move(report));
    }
    std::vector<HidDeviceInfo> presentHidDevices() override {
        ++enumerations;
        return real_.presentHidDevices();
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
        state.channel.active = true;
        devices = std::make_unique<udev::UdevDevices>(loop);
        presence = std::make_unique<HardwarePresence>(
            HardwarePresence::Ports{.devices = *devices,
                                    .loop = loop,
                                    .state = state,
                                    .log = log,
                                    .mail = mail,
                                    .tHid = *tHid,
                                    .PlayC1 = player,
                                    .wCanal1 = monitor,
                                    .Alerta = alert,
                                    .channelUnplugged = [this] { state.channel.active = false; }});
        presence->CreateUsbWatcher();
        presence->usbWatcher()->OnDeviceRemoval = [this](TUsbClass&, const QByteArray&,
                                                         const QByteArray& id, const QByteArray&) {
            removals << QString::fromLatin1(id);
        };
    }
    const auto& hid() { return presence->HidCtl().Devices(); }

    RuntimeState state;
    FakeLog log;
    MailNotices mail{loop};
    std::unique_ptr<Timer> tHid = loop.createTimer(6000, [] {});
    FakeWaveControl player, monitor;
    FakeAlert alert;
    MockUsbDevice keyboard, odd;
    std::unique_ptr<udev::UdevDevices> devices;
    std::unique_ptr<HardwarePresence> presence;
    QStringList removals;
};

TEST_F(UdevPresence, TheHoldHardwareAndAKeyboardComeAndGoAsTheKernelShowsThem) {
    ASSERT_TRUE(runUntil(loop, [&] { return hid().size() == 1; }));
    EXPECT_EQ(hid()[0]->Attributes().VendorID, 0x04d9);
    EXPECT_EQ(hid()[0]->DevInst(), keyboard.hidraw.toUtf8());

    // Plugged in: the arrival is recognised, the HID interface listed.
    const MockUsbDevice hold = bed.plugHoldHardware(QStringLiteral("1-1"), 0);
    ASSERT_TRUE(runUntil(loop, [&] { return log.lines.size() == 2 && hid().size() == 2; }));
    EXPECT_EQ(log.lines, (QStringList{QStringLiteral("O Hardware foi conectado."),
                                      QStringLiteral("Aguarde incializando o stream.")}));
    EXPECT_TRUE(tHid->enabled());
    const THidDevice& holdHid = *hid()[1];
    EXPECT_EQ(holdHid.Attributes().VendorID, 0x0416);
    EXPECT_EQ(holdHid.Attributes().ProductID, 0x8200);
    EXPECT_EQ(holdHid.DevInst(), hold.hidraw.toUtf8());
    EXPECT_EQ(holdHid.DevicePath(), "/dev/hidraw0");

    // The keyboard goes: its unplug changes nothing.
    bed.pull(keyboard);
    ASSERT_TRUE(runUntil(loop, [&] { return hid().size() == 1; }));
    EXPECT_EQ(log.lines.size(), 2);
    EXPECT_TRUE(state.channel.active);

    // The hold hardware goes, its attributes gone before udev tells, as on a
    // real system: the channel goes down, and the removal still names it.
    bed.removeAttribute(hold.usb, "idVendor");
    bed.pull(hold);
    ASSERT_TRUE(runUntil(loop, [&] { return hid().empty() && log.lines.size() == 3; }));
    EXPECT_EQ(log.lines.last(), QStringLiteral("O Hardware da espera foi desconectado."));
    EXPECT_FALSE(state.channel.active);
    EXPECT_EQ(player.calls.last(), QStringLiteral("stop"));
    ASSERT_TRUE(runUntil(loop, [&] { return removals.size() == 2; }));
    EXPECT_EQ(removals, (QStringList{QStringLiteral("Vid_04d9&Pid_1603"),
                                     QStringLiteral("Vid_0416&Pid_8200")}));
}

TEST_F(UdevDevicesTest, AHubWithTenDevicesIsOneBurstAndOnePass) {
    udev::UdevDevices udev(loop);
    CountingPlatform devices(udev);
    THidDeviceController hidCtl(devices, loop);
    TUsbClass usb(devices);
    QStringList arrivals;
    usb.OnDeviceArrival = [&](TUsbClass&, const QByteArray&, const QByteArray& id,
                              const QByteArray&) { arrivals << QString::fromLatin1(id); };
    ASSERT_TRUE(runUntil(loop, [&] { return devices.enumerations == 1; }));

    // All of it announced before the loop runs again.
    const MockUsbDevice hub = bed.plugHub(QStringLiteral("1-3"));
    for (int i = 1; i <= 10; ++i)
        bed.plugKeyboard(QStringLiteral("1-3.%1").arg(i), i, hub.usb);
    ASSERT_TRUE(
        runUntil(loop, [&] { return arrivals.size() == 11 && hidCtl.Devices().size() == 10; }));
    // Give a second pass every chance to run: there is none.
    runUntil(
        loop, [] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(devices.enumerations, 2);
    EXPECT_EQ(arrivals.count(QStringLiteral("Vid_04d9&Pid_1603")), 10);
    EXPECT_EQ(arrivals.first(), QStringLiteral("Vid_05e3&Pid_0610"));
}

TEST_F(UdevDevicesTest, AMonitorSocketThatFailsIsReplacedOnceLoggedAndTheWatchGoesOn) {
    udev::UdevDevices devices(loop);
    QStringList arrivals;
    auto watch = devices.watchUsbDevices(
        [&](UsbChange, const QByteArray& path) { arrivals << QString::fromLatin1(path); });
    auto* udevWatch = dynamic_cast<udev::UdevWatch*>(watch.get());
    ASSERT_NE(udevWatch, nullptr);
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);

    // Twice a socket at its end, which stays readable with nothing to read.
    for (int failure = 0; failure < 2; ++failure) {
        const int broken = udevWatch->fd();
        ASSERT_EQ(::shutdown(broken, SHUT_RD), 0);
        // The new monitor is made before the old one is let go.
        ASSERT_TRUE(runUntil(loop, [&] { return udevWatch->fd() != broken; }));
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings.size(), 1) << warnings.join('\n').toStdString();

    bed.plugHoldHardware(QStringLiteral("1-1"), 0);
    ASSERT_TRUE(runUntil(loop, [&] { return arrivals.size() == 1; }));
    EXPECT_EQ(arrivals[0], QString::fromLatin1(HoldHardwarePath("SN-1-1")));
}

}  // namespace
