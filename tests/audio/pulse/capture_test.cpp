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
        control_->addListener(&captured_);
    }

    std::unique_ptr<Timer> feeder_;
    SampleLog captured_;
};

TEST_F(PulseCapture, TheInputReachesTheListenersInTheCaptureFormat) {
    control_->open(kHoldCapture, kDefaultDevice);
    control_->startCapture(2048);
    ASSERT_TRUE(waitFor(loop_, [&] { return captured_.all.size() >= kCaptureRate; }));

    EXPECT_TRUE(std::all_of(captured_.rates.begin(), captured_.rates.end(),
                            [](int r) { return r == kCaptureRate; }));
    EXPECT_NEAR(frequency(captured_.all, kCaptureRate), 1000, 5);
    EXPECT_NEAR(rms(captured_.all), 8000 / std::sqrt(2.0), 8000 * 0.05);
}

TEST_F(PulseCapture, TheInputReachesALevelViewAtTheTonesLevel) {
    MonitorView volume(MonitorView::Kind::Level);
    volume.show();  // a view listens only while it is shown
    volume.setSource(control_.get());
    control_->open(kHoldCapture, kDefaultDevice);
    control_->startCapture(2048);
    // A sine of peak 8000: -12.2 dBFS peak, -15.3 dBFS RMS.
    const auto atToneLevel = [&] {
        return std::abs(volume.level().measured().peakDb - -12.2) < 1.0 &&
               std::abs(volume.level().measured().rmsDb - -15.3) < 1.0;
    };
    EXPECT_TRUE(waitFor(loop_, atToneLevel, 5s)) << volume.level().measured().peakDb << " dB peak, "
                                                 << volume.level().measured().rmsDb << " dB RMS";
    volume.setSource(nullptr);
}

// A second control captures the same input as a witness: once it has had
// half a second of it, the stopped one would have had some too.
TEST_F(PulseCapture, StopCaptureEndsTheFlow) {
    pulse::PulseWaveControl witness(connection_);
    SampleLog seen;
    witness.addListener(&seen);
    witness.open(kHoldCapture, kDefaultDevice);
    witness.startCapture(2048);
    const auto witnessHears = [&](std::size_t samples) {
        seen.all.clear();
        return waitFor(loop_, [&] { return seen.all.size() >= samples; });
    };

    control_->open(kHoldCapture, kDefaultDevice);
    control_->startCapture(2048);
    ASSERT_TRUE(waitFor(loop_, [&] { return !captured_.all.empty(); }));
    control_->stopCapture();
    EXPECT_FALSE(control_->capturing());
    loop_.processPendingMessages();  // what was on its way when it stopped
    captured_.all.clear();
    ASSERT_TRUE(witnessHears(kCaptureRate / 2));
    EXPECT_TRUE(captured_.all.empty());

    // A listener that leaves gets nothing more either.
    control_->startCapture(2048);
    ASSERT_TRUE(waitFor(loop_, [&] { return !captured_.all.empty(); }));
    control_->removeListener(&captured_);
    loop_.processPendingMessages();
    captured_.all.clear();
    ASSERT_TRUE(witnessHears(kCaptureRate / 2));
    EXPECT_TRUE(captured_.all.empty());
}

// The hold device leaves the server and comes back (a USB reset, a rebuilt
// node): the capture that ran comes back with it, by itself.
TEST_F(PulseCapture, ACaptureDeviceThatGoesAwayComesBackWithIt) {
    control_->open(kHoldCapture, kDefaultDevice);
    control_->startCapture(2048);
    ASSERT_TRUE(waitFor(loop_, [&] { return !captured_.all.empty(); }));

    ASSERT_TRUE(server_.unplug());
    EXPECT_THROW(control_->open(kHoldCapture, kDefaultDevice), WaveError)
        << "the device is still there";
    EXPECT_TRUE(control_->capturing()) << "it waits for the device";
    ASSERT_TRUE(server_.replug());
    captured_.all.clear();
    EXPECT_TRUE(waitFor(loop_, [&] { return captured_.all.size() >= kCaptureRate / 2; }));
    EXPECT_NEAR(frequency(captured_.all, kCaptureRate), 1000, 5);
}

}  // namespace
}  // namespace quindra::testing
