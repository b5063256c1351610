#include <QProcess>

#include "PulseFixture.h"
#include "audio/views/MonitorView.h"
#include "support/Tones.h"

namespace quindra::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kCaptureRate = 8000;

class PulseCapture : public PulseFixture {
protected:
    void SetUp() override {
        PulseFixture::SetUp();
        if (HasFatalFailure())
            return;
        // The hold device's input plays a 1 kHz tone at a quarter of full
        // scale, a tenth of a second every tenth of a second.
        feeder_ = loop_.createTimer(100, [this] {
            writeInput(server_.inputFifo(),
                       sine(1000, kCaptureRate, 8000 / 32768.0, kCaptureRate / 10));
        });
        feeder_->setEnabled(true);
        control_->addSampleListener(&captured_);
    }

    std::unique_ptr<Timer> feeder_;
    SampleLog captured_;
};

TEST_F(PulseCapture, TheInputReachesTheListenersInTheCaptureFormat) {
    control_->setWaveInDevice(kHoldIn);
    control_->setRecordBufferLength(2048);
    control_->SetMode(6);
    EXPECT_TRUE(control_->StartRecord(0));
    ASSERT_TRUE(waitFor(loop_, [&] { return captured_.all.size() >= kCaptureRate; }));

    EXPECT_TRUE(std::all_of(captured_.rates.begin(), captured_.rates.end(),
                            [](int r) { return r == kCaptureRate; }));
    EXPECT_NEAR(frequency(captured_.all, kCaptureRate), 1000, 5);
    EXPECT_NEAR(rms(captured_.all), 8000 / std::sqrt(2.0), 8000 * 0.05);
}

TEST_F(PulseCapture, TheInputReachesALevelViewAtTheTonesLevel) {
    TMonitorView volume(TMonitorView::Kind::Volume);
    volume.show();  // a view listens only while it is shown
    volume.setWaveSource(control_.get());
    control_->setWaveInDevice(kHoldIn);
    control_->SetMode(6);
    control_->StartRecord(0);
    // A sine of peak 8000: -12.2 dBFS peak, -15.3 dBFS RMS.
    const auto atToneLevel = [&] {
        return std::abs(volume.level().measured().peakDb - -12.2) < 1.0 &&
               std::abs(volume.level().measured().rmsDb - -15.3) < 1.0;
    };
    EXPECT_TRUE(waitFor(loop_, atToneLevel, 5s)) << volume.level().measured().peakDb << " dB peak, "
                                                 << volume.level().measured().rmsDb << " dB RMS";
    volume.setWaveSource(nullptr);
}

TEST_F(PulseCapture, StopRecordEndsTheFlow) {
    control_->setWaveInDevice(kHoldIn);
    control_->SetMode(6);
    control_->StartRecord(0);
    ASSERT_TRUE(waitFor(loop_, [&] { return !captured_.all.empty(); }));
    control_->StopRecord();
    EXPECT_FALSE(control_->Recording());
    loop_.processPendingMessages();  // what was on its way when it stopped
    captured_.all.clear();
    waitFor(
        loop_, [] { return false; }, 500ms);
    EXPECT_TRUE(captured_.all.empty());

    // A listener that leaves gets nothing more either.
    control_->StartRecord(0);
    ASSERT_TRUE(waitFor(loop_, [&] { return !captured_.all.empty(); }));
    control_->removeSampleListener(&captured_);
    loop_.processPendingMessages();
    captured_.all.clear();
    waitFor(
        loop_, [] { return false; }, 500ms);
    EXPECT_TRUE(captured_.all.empty());
}

TEST_F(PulseCapture, ACaptureDeviceThatGoesAwayEndsTheCaptureAndCannotBeStarted) {
    control_->setWaveInDevice(kHoldIn);
    control_->SetMode(6);
    control_->StartRecord(0);
    ASSERT_TRUE(waitFor(loop_, [&] { return !captured_.all.empty(); }));

    QProcess pactl;
    pactl.start(QStringLiteral("pactl"),
                {QStringLiteral("unload-module"), QStringLiteral("module-pipe-source")});
    ASSERT_TRUE(pactl.waitForFinished(5000));
    ASSERT_EQ(pactl.exitCode(), 0);

    EXPECT_TRUE(waitFor(loop_, [&] { return !control_->Recording(); }));
    EXPECT_THROW(control_->StartRecord(0), WaveError);
    EXPECT_FALSE(control_->Recording());
}

}  // namespace
}  // namespace quindra::testing
