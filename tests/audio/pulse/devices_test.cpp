#include <QProcess>

#include "PulseFixture.h"

namespace quindra::testing {
namespace {

using PulseDevices = PulseFixture;

QString errorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const WaveError& e) {
        return e.text();
    }
    return QStringLiteral("(no error)");
}

TEST_F(PulseDevices, TheHoldDeviceIsListedByItsProductName) {
    // The two monitors are not capture devices.
    EXPECT_EQ(control_->captureDevices(), QStringList{kHoldIn});

    control_->open(kHoldCapture, kHoldPlayback);
    EXPECT_EQ(control_->captureDevice(), kHoldCapture);
    EXPECT_EQ(control_->playbackDevice(), kHoldPlayback);
    // Without a product name the description stands in.
    control_->open(kHoldCapture,
                   DeviceChoice::named(QStringLiteral("Alto-falantes (Saída padrão)")));
    control_->open(kDefaultDevice, kDefaultDevice);
    EXPECT_EQ(control_->captureDevice(), kDefaultDevice);
    EXPECT_EQ(control_->playbackDevice(), kDefaultDevice);
}

TEST_F(PulseDevices, AnUnknownNameThrowsAndKeepsTheDevicesFromItOn) {
    control_->open(kHoldCapture, kHoldPlayback);
    EXPECT_EQ(errorOf([&] {
                  control_->open(DeviceChoice::named(QStringLiteral("Microfone (Outro)")),
                                 kDefaultDevice);
              }),
              QStringLiteral("Dispositivo de áudio não encontrado: Microfone (Outro)"));
    for (const QString& name : {kHoldOut, QStringLiteral("Microfone (Monitor of Q-ZORBE USB)"),
                                QStringLiteral("Q-ZORBE")}) {
        EXPECT_THROW(control_->open(DeviceChoice::named(name), kDefaultDevice), WaveError)
            << name.toStdString();
    }
    EXPECT_EQ(control_->captureDevice(), kHoldCapture);
    EXPECT_EQ(control_->playbackDevice(), kHoldPlayback);
    // The capture device before a refused playback name is taken.
    EXPECT_THROW(control_->open(kDefaultDevice, DeviceChoice::named(kHoldIn)), WaveError);
    EXPECT_EQ(control_->captureDevice(), kDefaultDevice);
    EXPECT_EQ(control_->playbackDevice(), kHoldPlayback);
}

TEST_F(PulseDevices, EveryQueryAsksTheServerAfresh) {
    ASSERT_EQ(control_->captureDevices().size(), 1);
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"),
                {QStringLiteral("load-module"), QStringLiteral("module-null-source"),
                 QStringLiteral("source_name=second"), QStringLiteral("description=Q-ZORBE")});
    ASSERT_TRUE(pactl.waitForFinished(5000));
    ASSERT_EQ(pactl.exitCode(), 0);
    // Without a product name its description names it; the same product a
    // second time is numbered.
    EXPECT_EQ(control_->captureDevices(),
              (QStringList{kHoldIn, QStringLiteral("Microfone (2- Q-ZORBE)")}));
}

TEST_F(PulseDevices, WithoutAServerQueriesFailInsteadOfWaiting) {
    control_.reset();
    connection_.reset();
    server_.stop();
    connection_ = std::make_shared<pulse::PulseConnection>(loop_);
    control_ = std::make_unique<pulse::PulseWaveControl>(connection_);
    EXPECT_THROW(control_->captureDevices(), WaveError);
    EXPECT_THROW(control_->open(kDefaultDevice, kHoldPlayback), WaveError);
    // The system default needs no server to be chosen.
    control_->open(kDefaultDevice, kDefaultDevice);
}

TEST_F(PulseDevices, AServerThatHangsMakesQueriesFailAtTheTimeLimit) {
    ASSERT_EQ(control_->captureDevices().size(), 1);
    server_.freeze(true);
    EXPECT_THROW(control_->captureDevices(), WaveError);
    EXPECT_THROW(control_->open(kDefaultDevice, kHoldPlayback), WaveError);
    server_.freeze(false);
    // The late answers are for requests nobody waits for any more.
    EXPECT_EQ(control_->captureDevices().size(), 1);
}

}  // namespace
}  // namespace quindra::testing
