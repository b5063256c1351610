#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "audio/LineStatus.h"

using namespace quindra;

namespace {

const QString kPromo = QStringLiteral("/opt/quindra/Audio/promo.wav");
const QString kNatal = QStringLiteral("/opt/quindra/Audio/natal.mp3");

using Event = std::function<void(LineStatus&)>;

// The reports the sources send, by what happened.
const Event message = [](LineStatus& s) { s.messageChanged(kPromo, 83000); };
const Event otherMessage = [](LineStatus& s) { s.messageChanged(kNatal, 12000); };
const Event noMessage = [](LineStatus& s) { s.messageChanged({}, std::nullopt); };
const Event found = [](LineStatus& s) { s.hardwarePresent(true); };
const Event notFound = [](LineStatus& s) { s.hardwarePresent(false); };
const Event opened = [](LineStatus& s) { s.channelOpened(); };
const Event unplugged = [](LineStatus& s) {
    s.channelTakenDown();
    s.hardwarePresent(false);
};
const Event serverDown = [](LineStatus& s) { s.soundServer(false); };
const Event serverLost = [](LineStatus& s) { s.soundLost(OffAirReason::SoundServerDown); };
const Event deviceLost = [](LineStatus& s) { s.soundLost(OffAirReason::HardwareAbsent); };
const Event streamLost = [](LineStatus& s) { s.soundLost(OffAirReason::SoundStopped); };
const Event back = [](LineStatus& s) { s.soundBack(); };
const Event pause = [](LineStatus& s) { s.swapPause(true); };
const Event resume = [](LineStatus& s) { s.swapPause(false); };
const Event failed = [](LineStatus& s) { s.messageFailed(kPromo); };
const Event taken = [](LineStatus& s) { s.lineTaken(); };
const Event closing = [](LineStatus& s) { s.closing(); };

struct Case {
    const char* what;
    std::vector<Event> events;
    OffAirReason reason;  // None: on air
    bool onPurpose = false;
};

class Decisions : public ::testing::TestWithParam<Case> {};

TEST_P(Decisions, EventsGiveTheState) {
    LineStatus line;
    for (const Event& e : GetParam().events)
        e(line);
    const LineState& s = line.state();
    EXPECT_EQ(s.reason, GetParam().reason);
    EXPECT_EQ(s.onAir, GetParam().reason == OffAirReason::None);
    EXPECT_EQ(s.onPurpose, GetParam().onPurpose);
}

INSTANTIATE_TEST_SUITE_P(
    LineStatus, Decisions,
    ::testing::Values(
        Case{"first start, nothing known yet", {}, OffAirReason::NoMessage},
        Case{"first start without a message, channel open",
             {noMessage, found, opened},
             OffAirReason::NoMessage},
        Case{"message and hardware, during the start delay",
             {message, found},
             OffAirReason::Opening,
             true},
        Case{"message, channel open", {message, found, opened}, OffAirReason::None},
        Case{"hardware not found at start", {message, notFound}, OffAirReason::HardwareAbsent},
        Case{"hardware absent and no message: the hardware first",
             {noMessage, notFound},
             OffAirReason::HardwareAbsent},
        Case{"on air, unplugged", {message, opened, unplugged}, OffAirReason::HardwareAbsent},
        Case{"unplugged, then back: opening again",
             {message, opened, unplugged, found},
             OffAirReason::Opening,
             true},
        Case{"unplugged, back and reopened",
             {message, opened, unplugged, found, opened},
             OffAirReason::None},
        Case{"sound server away at start", {message, serverDown}, OffAirReason::SoundServerDown},
        Case{"on air, the server stops",
             {message, opened, serverLost},
             OffAirReason::SoundServerDown},
        Case{"the server stops and comes back",
             {message, opened, serverLost, back},
             OffAirReason::None},
        Case{"the device leaves the server",
             {message, opened, deviceLost},
             OffAirReason::HardwareAbsent},
        Case{"the stream ended", {message, opened, streamLost}, OffAirReason::SoundStopped},
        Case{"a swap's pause", {message, opened, pause}, OffAirReason::Swapping, true},
        Case{"a swap's pause ends with the new message",
             {message, opened, pause, otherMessage, resume},
             OffAirReason::None},
        Case{"the swap puts on a message the player cannot read",
             {message, opened, pause, otherMessage, resume,
              [](LineStatus& s) { s.messageFailed(kNatal); }},
             OffAirReason::MessageUnplayable},
        Case{"unplayable, then another message",
             {message, opened, failed, otherMessage},
             OffAirReason::None},
        Case{"unplayable, then the same name swapped in again",
             {message, opened, failed, message},
             OffAirReason::None},
        Case{"another user's program holds the line",
             {message, found, taken},
             OffAirReason::LineTaken},
        Case{"the program ends", {message, opened, closing}, OffAirReason::Closing, true},
        Case{"the program ends during a swap",
             {message, opened, pause, closing},
             OffAirReason::Closing,
             true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::to_string(info.index); });

TEST(LineStatus, CarriesTheMessageItsLengthAndTheHardware) {
    LineStatus line;
    message(line);
    opened(line);
    EXPECT_EQ(line.state().file, kPromo);
    EXPECT_EQ(line.state().durationMs, 83000);
    EXPECT_TRUE(line.state().hardwarePresent);

    deviceLost(line);
    EXPECT_FALSE(line.state().hardwarePresent);
    EXPECT_EQ(line.state().file, kPromo);
}

TEST(LineStatus, EveryListenerHearsEachChangeOnce) {
    LineStatus line;
    std::vector<LineState> first, second;
    line.onChange([&](const LineState& s) { first.push_back(s); });
    line.onChange([&](const LineState& s) { second.push_back(s); });

    message(line);
    found(line);
    opened(line);
    opened(line);  // no change
    found(line);   // no change
    pause(line);
    resume(line);

    ASSERT_EQ(first.size(), 5u);
    EXPECT_EQ(first[0].reason, OffAirReason::Opening);
    EXPECT_EQ(first[0].file, kPromo);
    EXPECT_FALSE(first[0].hardwarePresent);
    EXPECT_TRUE(first[1].hardwarePresent);
    EXPECT_TRUE(first[2].onAir);
    EXPECT_EQ(first[3].reason, OffAirReason::Swapping);
    EXPECT_TRUE(first[3].onPurpose);
    EXPECT_TRUE(first[4].onAir);
    EXPECT_EQ(first[4], line.state());
    EXPECT_EQ(second, first);
}

}  // namespace
