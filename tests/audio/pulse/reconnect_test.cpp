#include <sndfile.h>

#include "PulseFixture.h"
#include "support/Tones.h"

namespace quindra::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;

using PulseReconnect = PulseFixture;

// The sound server crashes and comes back: the player and the monitor, two
// controls on the one connection, take up again by themselves, the message
// from its start, and the UI thread runs on meanwhile.
TEST_F(PulseReconnect, AfterAServerRestartTheMessagePlaysAgainFromTheStart) {
    const auto message = noise(kRate * 4 / 10, 7);
    writeSound(file("msg.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1, message);
    control_->open(kDefaultDevice, kHoldPlayback);
    int ends = 0;
    control_->onPassEnded = [&] {
        ++ends;
        control_->play(file("msg.wav"));
    };
    control_->play(file("msg.wav"));

    pulse::PulseWaveControl monitor(connection_);
    SampleLog captured;
    monitor.addListener(&captured);
    monitor.open(kHoldCapture, kDefaultDevice);
    monitor.startCapture(2048);
    const auto feeder = loop_.createTimer(
        100, [this] { writeInput(server_.inputFifo(), sine(500, 8000, 8000 / 32768.0, 800)); });
    feeder->setEnabled(true);

    // The UI thread's pulse: the longest time between two ticks.
    auto last = Clock::now();
    Clock::duration longest{};
    const auto heartbeat = loop_.createTimer(20, [&] {
        longest = std::max(longest, Clock::now() - last);
        last = Clock::now();
    });
    heartbeat->setEnabled(true);

    ASSERT_TRUE(waitFor(loop_, [&] { return ends >= 2 && !captured.all.empty(); }));

    played_.reset();
    server_.crash();
    ASSERT_TRUE(waitFor(
        loop_, [&] { return connection_->down(); }, 10s))
        << "the connection never noticed the crash";
    EXPECT_TRUE(control_->playing());
    EXPECT_TRUE(monitor.capturing());

    ASSERT_TRUE(server_.start());
    played_ = std::make_unique<PlayedAudio>(server_.playedFifo());
    captured.all.clear();
    std::vector<std::int16_t> played;
    ASSERT_TRUE(waitFor(
        loop_,
        [&] {
            played = played_->samples();
            const auto start = findStart(played, message);
            return start && played.size() >= *start + 2 * message.size() &&
                   captured.all.size() > 800;
        },
        15s));

    const auto start = findStart(played, message);
    EXPECT_GE(exactRepeats(played, *start, message), 2) << "from the start, and looping on";
    EXPECT_NEAR(frequency(captured.all, 8000), 500, 5);
    EXPECT_LT(longest, 1500ms) << "the UI thread waited for the server";
}

// A swap stops the message while the server is away and starts another one:
// the sound that comes back is told as restored once, whether the new file
// was started before the server returned or after, so the program's last word
// on the line is not that it is silent.
class PulseLossThenNewFile : public PulseFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(PulseLossThenNewFile, TheNewFilesSoundIsToldAsRestoredOnce) {
    const bool startedWhileDown = GetParam();
    const auto first = noise(kRate * 3 / 10, 11);
    const auto second = noise(kRate * 4 / 10, 12);
    writeSound(file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1, first);
    writeSound(file("b.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1, second);
    control_->open(kDefaultDevice, kHoldPlayback);
    int ends = 0;
    int lost = 0;
    int restored = 0;
    control_->onPassEnded = [&] { ++ends; };
    control_->onLost = [&](PlaybackLoss) { ++lost; };
    control_->onRestored = [&] { ++restored; };
    control_->play(file("a.wav"));
    ASSERT_TRUE(waitFor(loop_, [&] { return ends >= 1; }));

    played_.reset();
    server_.crash();
    ASSERT_TRUE(waitFor(
        loop_, [&] { return lost == 1; }, 10s));
    control_->stop();
    if (startedWhileDown)
        control_->play(file("b.wav"));
    ASSERT_TRUE(server_.start());
    played_ = std::make_unique<PlayedAudio>(server_.playedFifo());
    if (!startedWhileDown) {
        ASSERT_TRUE(waitFor(
            loop_, [&] { return !connection_->down(); }, 15s));
        EXPECT_EQ(restored, 0) << "nothing sounds before the new file starts";
        control_->play(file("b.wav"));
    }
    std::vector<std::int16_t> played;
    ASSERT_TRUE(waitFor(
        loop_,
        [&] {
            played = played_->samples();
            const auto start = findStart(played, second);
            return start && played.size() >= *start + 2 * second.size();
        },
        15s));
    EXPECT_EQ(restored, 1);

    // A later stop and start with no loss between them is no return.
    control_->stop();
    control_->play(file("a.wav"));
    const int before = ends;
    ASSERT_TRUE(waitFor(loop_, [&] { return ends > before; }));
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(lost, 1);
}

INSTANTIATE_TEST_SUITE_P(When, PulseLossThenNewFile, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("StartedWhileTheServerIsAway")
                                               : std::string("StartedAfterItReturned");
                         });

}  // namespace
}  // namespace quindra::testing
