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
    ASSERT_EQ(control_->WaveInDeviceCount(), 1);  // the two monitors are not capture devices
    EXPECT_EQ(control_->WaveInDeviceName(0), kHoldIn);
    EXPECT_THROW(control_->WaveInDeviceName(1), WaveError);
    EXPECT_THROW(control_->WaveInDeviceName(-1), WaveError);

    control_->setWaveInDevice(kHoldIn);
    EXPECT_EQ(control_->WaveInDevice(), kHoldIn);
    control_->setWaveOutDevice(kHoldOut);
    EXPECT_EQ(control_->WaveOutDevice(), kHoldOut);
    // Without a product name the description stands in.
    control_->setWaveOutDevice(QStringLiteral("Alto-falantes (Saída padrão)"));
    control_->setWaveOutDevice(kWaveMapper);
    EXPECT_EQ(control_->WaveOutDevice(), kWaveMapper);
}

TEST_F(PulseDevices, AnUnknownNameThrowsAndKeepsTheDevice) {
    control_->setWaveInDevice(kHoldIn);
    control_->setWaveOutDevice(kHoldOut);
    EXPECT_EQ(errorOf([&] { control_->setWaveInDevice(QStringLiteral("Microfone (Outro)")); }),
              QStringLiteral("Dispositivo de áudio não encontrado: Microfone (Outro)"));
    for (const QString& name : {kHoldOut, QStringLiteral("Microfone (Monitor of Q-ZORBE USB)"),
                                QStringLiteral("Q-ZORBE")}) {
        EXPECT_THROW(control_->setWaveInDevice(name), WaveError) << name.toStdString();
    }
    EXPECT_THROW(control_->setWaveOutDevice(kHoldIn), WaveError);
    EXPECT_EQ(control_->WaveInDevice(), kHoldIn);
    EXPECT_EQ(control_->WaveOutDevice(), kHoldOut);
}

TEST_F(PulseDevices, EveryQueryAsksTheServerAfresh) {
    ASSERT_EQ(control_->WaveInDeviceCount(), 1);
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"),
                {QStringLiteral("load-module"), QStringLiteral("module-null-source"),
                 QStringLiteral("source_name=second"), QStringLiteral("description=Q-ZORBE")});
    ASSERT_TRUE(pactl.waitForFinished(5000));
    ASSERT_EQ(pactl.exitCode(), 0);
    // Without a product name its description names it; the same product a
    // second time is numbered.
    ASSERT_EQ(control_->WaveInDeviceCount(), 2);
    EXPECT_EQ(control_->WaveInDeviceName(1), QStringLiteral("Microfone (2- Q-ZORBE)"));
}

TEST_F(PulseDevices, WithoutAServerQueriesFailInsteadOfWaiting) {
    control_.reset();
    connection_.reset();
    server_.stop();
    connection_ = std::make_shared<pulse::PulseConnection>(loop_);
    control_ = std::make_unique<pulse::PulseWaveControl>(connection_);
    EXPECT_THROW(control_->WaveInDeviceCount(), WaveError);
    EXPECT_THROW(control_->setWaveOutDevice(kHoldOut), WaveError);
    // The system default needs no server to be chosen.
    control_->setWaveOutDevice(kWaveMapper);
}

TEST_F(PulseDevices, AServerThatHangsMakesQueriesFailAtTheTimeLimit) {
    ASSERT_EQ(control_->WaveInDeviceCount(), 1);
    server_.freeze(true);
    EXPECT_THROW(control_->WaveInDeviceCount(), WaveError);
    EXPECT_THROW(control_->setWaveOutDevice(kHoldOut), WaveError);
    server_.freeze(false);
    // The late answers are for requests nobody waits for any more.
    EXPECT_EQ(control_->WaveInDeviceCount(), 1);
}

}  // namespace
}  // namespace quindra::testing
