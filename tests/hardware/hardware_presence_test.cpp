#include <gtest/gtest.h>

#include <QStringList>
#include <memory>

#include "core/Runtime.h"
#include "core/VirtualEventLoop.h"
#include "hardware/HardwarePresence.h"
#include "mail/MailNotices.h"
#include "support/FakeDevices.h"
#include "support/FakeLog.h"
#include "support/FakeWaveControl.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

const QStringList kConnected{QStringLiteral("O Hardware foi conectado."),
                             QStringLiteral("Aguarde incializando o stream.")};
const QString kDisconnected = QStringLiteral("O Hardware da espera foi desconectado.");
const QString kAlertText = QStringLiteral("Canal 1 localizado e conectado com sucesso.");

// The presence handling of a running program whose channel is on air, with
// the hold hardware and a mouse plugged in.
class Presence : public ::testing::Test {
protected:
    void SetUp() override {
        devices.hid = {HoldHardwareHid(), MouseHid()};
        state.channel.active = true;
        mail.send = [this](MailNotices::Type t) { notices.push_back(t); };
        presence = std::make_unique<HardwarePresence>(
            HardwarePresence::Ports{.devices = devices,
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
        loop.processPendingMessages();  // the controller's first pass
        // Each device call with the blocked time it came at.
        for (auto* control : {&player, &monitor}) {
            control->onCall = [this](const QString& call) {
                calls << QStringLiteral("%1 @%2").arg(call).arg(loop.pausedMs());
            };
        }
    }
    void mailOptions(bool sendMail, bool hardDesc) {
        mail.setEnabled(sendMail);
        mail.setOnHardware(hardDesc);
    }
    void pullOut(const char* instance) {
        std::erase_if(devices.hid, [&](const HidDeviceInfo& d) { return d.instance == instance; });
        devices.hidChanged();
    }

    VirtualEventLoop loop;
    FakeDevicePlatform devices;
    RuntimeState state;
    FakeLog log;
    MailNotices mail{loop};
    std::vector<MailNotices::Type> notices;
    int opened = 0;
    std::unique_ptr<Timer> tHid = loop.createTimer(6000, [this] {
        tHid->setEnabled(false);
        ++opened;
    });
    FakeWaveControl player, monitor;
    QStringList calls;
    FakeAlert alert;
    std::unique_ptr<HardwarePresence> presence;
};

TEST_F(Presence, TheHoldHardwareArrivingArmsTheChannelAndTheNoticeAndPopsTheAlert) {
    mailOptions(true, true);
    devices.usb(UsbChange::Arrival, HoldHardwarePath());
    EXPECT_EQ(log.lines, kConnected);
    EXPECT_EQ(alert.text(), kAlertText);
    EXPECT_EQ(alert.popups, 1);

    // A second arrival 2 s later says so again but restarts no countdown.
    loop.advance(2000);
    devices.usb(UsbChange::Arrival, HoldHardwarePath());
    EXPECT_EQ(log.lines, kConnected + kConnected);
    EXPECT_EQ(alert.popups, 2);
    loop.advance(1000);
    EXPECT_EQ(notices, std::vector{MailNotices::HardwareReconnected});
    loop.advance(2999);
    EXPECT_EQ(opened, 0);
    loop.advance(1);
    EXPECT_EQ(opened, 1);
    loop.advance(10000);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(notices.size(), 1u);
}

TEST_F(Presence, TheReconnectionNoticeNeedsBothMailOptions) {
    for (auto [sendMail, hardDesc] : {std::pair{true, false}, {false, true}, {false, false}}) {
        mailOptions(sendMail, hardDesc);
        devices.usb(UsbChange::Arrival, HoldHardwarePath());
        EXPECT_TRUE(tHid->enabled());
        EXPECT_FALSE(mail.replugNoticeTimer().enabled()) << sendMail << hardDesc;
        loop.advance(6000);
    }
    EXPECT_EQ(opened, 3);
}

TEST_F(Presence, AnyOtherUsbDeviceOrAnyRemovalWritesNothing) {
    for (const QByteArray& path :
         {UsbDeviceInterfacePath("046d", "c077", "1"),
          QByteArray("\\\\?\\USB#VID_0416&PID_8200#QZ0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"),
          QByteArray("Vid_0416&Pid_8200"), QByteArray()}) {
        devices.usb(UsbChange::Arrival, path);
    }
    devices.usb(UsbChange::Removal, HoldHardwarePath());
    EXPECT_EQ(log.lines, QStringList{});
    EXPECT_FALSE(tHid->enabled());
    EXPECT_EQ(alert.popups, 0);
}

TEST_F(Presence, PullingTheHoldHardwareOutTakesTheChannelDown) {
    mailOptions(true, true);
    pullOut("hid-hold-0");
    EXPECT_EQ(log.lines, QStringList{kDisconnected});
    EXPECT_FALSE(state.channel.active);
    EXPECT_EQ(calls, (QStringList{"stopCapture @0", "open default | default @850", "stop @2350"}));
    EXPECT_TRUE(player.playbackDevice().isSystemDefault());
    EXPECT_TRUE(player.captureDevice().isSystemDefault());
    loop.advance(3000);
    EXPECT_EQ(notices, std::vector{MailNotices::HardwareDisconnected});
}

TEST_F(Presence, AMouseUnplugDoesNothing) {
    mailOptions(true, true);
    pullOut("hid-mouse");
    EXPECT_EQ(log.lines, QStringList{});
    EXPECT_EQ(calls, QStringList{});
    EXPECT_TRUE(state.channel.active);
    EXPECT_FALSE(mail.unplugNoticeTimer().enabled());
}

// The hardware with two HID interfaces: the first run finds the channel on
// air and says so; every run stops and pauses.
TEST_F(Presence, SeveralHidInterfacesOfTheHoldHardwareGiveOneLine) {
    mailOptions(true, true);
    devices.hid.push_back(HoldHardwareHid("hid-hold-1"));
    devices.hidChanged();
    devices.hid = {MouseHid()};
    devices.hidChanged();
    EXPECT_EQ(log.lines, QStringList{kDisconnected});
    EXPECT_EQ(calls.filter(QStringLiteral("stop @")).size(), 2);
    EXPECT_EQ(loop.pausedMs(), 2 * 2350);
    EXPECT_TRUE(mail.unplugNoticeTimer().enabled());
}

TEST_F(Presence, AnUnplugDuringASwapOrWhileClosingDoesNothingThenOrLater) {
    state.swap.replaySuspended = true;
    pullOut("hid-hold-0");
    state.swap.replaySuspended = false;
    devices.hidChanged();
    EXPECT_EQ(log.lines, QStringList{});
    EXPECT_EQ(calls, QStringList{});
    EXPECT_TRUE(state.channel.active);
}

TEST_F(Presence, AStopRecordThatFailsIsSwallowedWithItsPause) {
    monitor.onCall = [](const QString& call) {
        if (call == QStringLiteral("stopCapture"))
            throw WaveError(QStringLiteral("capture gone"));
    };
    pullOut("hid-hold-0");
    EXPECT_EQ(log.lines, QStringList{kDisconnected});
    EXPECT_EQ(calls, (QStringList{"open default | default @0", "stop @1500"}));
}

TEST_F(Presence, ReleasingTheWatcherEndsItsReportsAndAFailureIsLogged) {
    devices.stopFails = true;
    presence->ReleaseUsbWatcher();
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Erro ao desligar analize USB")});
    devices.usb(UsbChange::Arrival, HoldHardwarePath());
    EXPECT_EQ(log.lines.size(), 1);
    presence->ReleaseUsbWatcher();  // released once only
    EXPECT_EQ(log.lines.size(), 1);
}

}  // namespace
