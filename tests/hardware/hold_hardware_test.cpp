#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <memory>
#include <utility>
#include <vector>

#include "app/Shell.h"
#include "support/HardwareLines.h"
#include "support/ShellRig.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

const QStringList kReturn = kHardwareBackLines + QStringList{kOnAirLine};
const QString kCapture = QStringLiteral("Microfone (Q-ZORBE)");

// The program with the hold hardware plugged in and "espera.wav" on air.
class HoldHardware : public ::testing::Test, protected ShellRig {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(paths.messageFolder()));
        QFile message(paths.messageFolder() + QStringLiteral("/espera.wav"));
        ASSERT_TRUE(message.open(QIODevice::WriteOnly));
        devices.hid = {HoldHardwareHid(), MouseHid()};
        lister.inputs = {QStringLiteral("Microfone (Realtek)"), kCapture};
        shell = std::make_unique<Shell>(ports(), window);
        window.shell = shell.get();
        shell->start();
        loop.advance(6000);
        ASSERT_TRUE(onAir());
        echoed.clear();
    }

    bool onAir() const {
        return shell->state().channel.active && player.playing() &&
               player.file() == shell->state().onAir.file &&
               player.playbackDevice().name() == QStringLiteral("Alto-falantes (Q-ZORBE)");
    }
    // Pulled out: the sound server loses its devices as the HID interface goes.
    void unplug() {
        lister.inputs.removeAll(kCapture);
        devices.unplugHoldHardware();
        loop.processPendingMessages();
    }
    void replug() {
        lister.inputs << kCapture;
        devices.replugHoldHardware();
        loop.processPendingMessages();
    }
    // Strips the date and time of the echoed status lines.
    QStringList lines() const {
        QStringList out;
        for (const QString& l : echoed)
            out << l.section(QStringLiteral(" - "), 2);
        return out;
    }

    FakeWindow window;
    std::unique_ptr<Shell> shell;
};

TEST_F(HoldHardware, PulledOutItFallsSilentAndPluggedBackTheMessageReturnsSixSecondsLater) {
    unplug();
    EXPECT_EQ(lines(), QStringList{kHardwareGoneLine});
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(monitor.capturing);
    // The end of what was queued does not start it again, nor does the watch.
    player.finishFile();
    loop.advance(30000);
    EXPECT_FALSE(player.playing());

    echoed.clear();
    replug();
    EXPECT_EQ(window.alertWindow.popups, 1);
    loop.advance(5999);
    EXPECT_FALSE(player.playing());
    loop.advance(1);
    EXPECT_EQ(lines(), kReturn);
    EXPECT_TRUE(onAir());
    EXPECT_TRUE(monitor.capturing);
}

TEST_F(HoldHardware, AnUnplugDuringASwapChangesNothing) {
    const QString drop = shell->state().settings.dropFolder;
    QFile promo(drop + QStringLiteral("/promo.wav"));
    ASSERT_TRUE(promo.open(QIODevice::WriteOnly));
    promo.close();
    // Pulled out while the swap waits for the old message to stop.
    bool pulled = false;
    player.onCall = [&](const QString& call) {
        if (call == QStringLiteral("stop") && !std::exchange(pulled, true))
            loop.post([this] { unplug(); });
    };
    // A dropped file is taken by the look that ends the settle after the
    // first check sees it.
    loop.advance(2 * 30000 + 4000);
    player.onCall = nullptr;
    ASSERT_TRUE(pulled);
    EXPECT_FALSE(lines().contains(kHardwareGoneLine)) << lines().join('\n').toStdString();
    EXPECT_TRUE(shell->state().channel.active);
    EXPECT_TRUE(player.file().endsWith(QStringLiteral("/promo.wav")));
    EXPECT_TRUE(player.playing());
}

TEST_F(HoldHardware, ClosingNeverRunsAnUnplugAndReleasesTheWatcher) {
    EXPECT_TRUE(devices.usbWatched());
    shell->closeRequested();
    unplug();
    EXPECT_EQ(lines(), QStringList{});
    EXPECT_TRUE(shell->state().channel.active);

    devices.stopFails = true;
    shell->finish();
    EXPECT_FALSE(devices.usbWatched());
    EXPECT_EQ(
        lines(),
        (QStringList{QStringLiteral("Erro ao desligar analize USB"),
                     QStringLiteral("Sistema finalizado: a mensagem de espera saiu do ar.")}));
    shell.reset();
    devices.hid.clear();
    devices.hidChanged();
    loop.processPendingMessages();
}

// The pull and the return reach the mail notices, which go out when mail and
// the hardware notices are both on.
TEST_F(HoldHardware, ThePullAndTheReturnAreMailedAsTheOptionsSay) {
    std::vector<MailNotices::Type> sent;
    shell->mail().send = [&](MailNotices::Type type) { sent.push_back(type); };
    struct Case {
        bool sendMail;
        bool hardwareNotices;
        std::vector<MailNotices::Type> sent;
    };
    const std::vector<MailNotices::Type> both{MailNotices::HardwareDisconnected,
                                              MailNotices::HardwareReconnected};
    for (const Case& c : {Case{.sendMail = true, .hardwareNotices = true, .sent = both},
                          Case{.sendMail = true, .hardwareNotices = false, .sent = {}},
                          Case{.sendMail = false, .hardwareNotices = true, .sent = {}},
                          Case{.sendMail = false, .hardwareNotices = false, .sent = {}}}) {
        sent.clear();
        shell->mail().setEnabled(c.sendMail);
        shell->mail().setOnHardware(c.hardwareNotices);
        unplug();
        loop.advance(3000);
        replug();
        loop.advance(6000);
        ASSERT_TRUE(onAir());
        EXPECT_EQ(sent, c.sent) << c.sendMail << c.hardwareNotices;
    }
}

// A thousand times out and back in: every return puts the message on air,
// and nothing piles up.
TEST_F(HoldHardware, AThousandCyclesEachPutTheMessageBackOnAir) {
    for (int cycle = 0; cycle < 1000; ++cycle) {
        echoed.clear();
        unplug();
        ASSERT_FALSE(player.playing()) << cycle;
        replug();
        loop.advance(6000);
        ASSERT_TRUE(onAir()) << cycle;
        ASSERT_EQ(lines(), QStringList{kHardwareGoneLine} + kReturn) << cycle;
        ASSERT_EQ(shell->presence().hidWatcher().devices().size(), 2u) << cycle;
    }
    EXPECT_EQ(window.alertWindow.popups, 1000);
}

}  // namespace
