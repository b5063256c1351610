#include <gtest/gtest.h>

#include "audio/HoldChannel.h"
#include "core/Runtime.h"
#include "core/VirtualEventLoop.h"
#include "support/FakeLog.h"
#include "support/FakeWaveControl.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

class Channel : public ::testing::Test {
public:
    Channel() {
        state.WindowsGeneration = 5;
        state.onAir.CurrentAudioFile = QStringLiteral("/opt/quindra/Audio/espera.wav");
        lister.inputs = {QStringLiteral("Microfone (Realtek HD)"),
                         QStringLiteral("Microfone (Q-ZORBE)")};
        loop.setUncaughtHandler(
            [this](const std::exception& e) { uncaught << QString::fromUtf8(e.what()); });
    }

    VirtualEventLoop loop;
    FakeWaveControl player, monitor, lister;
    RuntimeState state;
    FakeLog log;
    std::vector<WaveControl*> views;
    QStringList uncaught;
    HoldChannel channel{
        {player, monitor, lister}, state.channel, state, log, loop, [this](WaveControl* c) {
            views.push_back(c);
        }};
};

TEST_F(Channel, OpensOnTheHardwaresMicrophoneAndSpeakerNames) {
    channel.AcessaCanal();

    const QStringList monitorCalls{QStringLiteral("WaveInDevice Microfone (Q-ZORBE)"),
                                   QStringLiteral("WaveOutDevice Alto-falantes (Q-ZORBE)"),
                                   QStringLiteral("RecordBufferLength 2048"),
                                   QStringLiteral("SetMode 6"), QStringLiteral("StartRecord 0")};
    EXPECT_EQ(monitor.calls, monitorCalls);
    const QStringList playerCalls{
        QStringLiteral("WaveInDevice Microfone (Q-ZORBE)"),
        QStringLiteral("WaveOutDevice Alto-falantes (Q-ZORBE)"),
        QStringLiteral("PlayFormatID 0100010044AC000088580100020010000000"),
        QStringLiteral("PlayFormatName PCM 44.100 kHz; 16 Bit; Mono")};
    EXPECT_EQ(player.calls, playerCalls);
    EXPECT_EQ(views, std::vector<WaveControl*>{&monitor});
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Stream inicializado com sucesso.")});
    EXPECT_EQ(loop.pausedMs(), 300);
}

TEST_F(Channel, NamesWithoutMicrofoneKeepThePlaybackNameEqual) {
    lister.inputs = {QStringLiteral("Mikrofon (Q-ZORBE)")};
    channel.AcessaCanal();
    EXPECT_EQ(player.WaveInDevice(), QStringLiteral("Mikrofon (Q-ZORBE)"));
    EXPECT_EQ(player.WaveOutDevice(), QStringLiteral("Mikrofon (Q-ZORBE)"));
}

TEST_F(Channel, EachMatchOpensAnewAndTheLastStays) {
    lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)"), QStringLiteral("quebrado"),
                     QStringLiteral("Microfone (2- Q-ZORBE)")};
    lister.unreadable = {QStringLiteral("quebrado")};
    channel.AcessaCanal();
    // The unreadable device in between opens nothing on a stale name.
    EXPECT_EQ(log.lines.count(QStringLiteral("Stream inicializado com sucesso.")), 2);
    EXPECT_EQ(monitor.WaveInDevice(), QStringLiteral("Microfone (2- Q-ZORBE)"));
    EXPECT_EQ(player.WaveOutDevice(), QStringLiteral("Alto-falantes (2- Q-ZORBE)"));
}

TEST_F(Channel, ExactRuleOpensOnTheBareTokenWithPausesBetweenDevices) {
    state.WindowsGeneration = 4;
    lister.inputs = {QStringLiteral("Q-ZORBE"), QStringLiteral("Microfone (Q-ZORBE)")};
    channel.AcessaCanal();
    EXPECT_EQ(monitor.WaveInDevice(), QStringLiteral("Q-ZORBE"));
    EXPECT_EQ(player.WaveOutDevice(), QStringLiteral("Q-ZORBE"));
    EXPECT_EQ(log.lines.size(), 1);
    EXPECT_EQ(loop.pausedMs(), 2 * 500 + 300);
}

TEST_F(Channel, OpeningFailuresAndTheirLines) {
    struct Case {
        const char* what;
        std::function<void(Channel&)> inject;
        QStringList lines;
        bool recording;
    };
    const std::vector<Case> cases{
        {"hardware absent",
         [](Channel& t) { t.lister.inputs = {QStringLiteral("Microfone (Realtek)")}; },
         {},
         false},
        {"monitor rejects the names",
         [](Channel& t) { t.monitor.rejected = {QStringLiteral("Microfone (Q-ZORBE)")}; },
         {QStringLiteral("Erro ao iniciar monitoração do Canal 1"),
          QStringLiteral("Stream inicializado com sucesso.")},
         true},
        {"capture does not start",
         [](Channel& t) { t.monitor.recordFails = true; },
         {QStringLiteral("Erro ao iniciar stream do canal 1"),
          QStringLiteral("Erro no stream do canal 1")},
         false},
    };
    for (const Case& c : cases) {
        log.lines.clear();
        monitor = FakeWaveControl();
        lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)")};
        const auto pausedBefore = loop.pausedMs();
        c.inject(*this);
        channel.AcessaCanal();
        EXPECT_EQ(log.lines, c.lines) << c.what;
        EXPECT_EQ(monitor.recording, c.recording) << c.what;
        EXPECT_EQ(loop.pausedMs() - pausedBefore, c.recording ? 300 : 0) << c.what;
    }
}

TEST_F(Channel, StartTimerOpensMarksOnAirAndLoopsTheMessage) {
    channel.tHid().setEnabled(true);
    loop.advance(5999);
    EXPECT_EQ(player.plays, 0);
    loop.advance(1);
    EXPECT_FALSE(channel.tHid().enabled());
    EXPECT_TRUE(state.channel.ChannelActive);
    EXPECT_EQ(player.file(), state.onAir.CurrentAudioFile);
    EXPECT_EQ(player.plays, 1);

    // Each end starts it again, with nothing in between.
    player.finishFile();
    player.finishFile();
    EXPECT_EQ(player.plays, 3);
    EXPECT_EQ(player.calls.filter(QStringLiteral("StopPlay")).size(), 0);

    // Suspended (a swap) or off air (a removal): the end is left alone.
    state.swap.ReplaySuspended = true;
    player.finishFile();
    EXPECT_EQ(player.plays, 3);
    state.swap.ReplaySuspended = false;
    state.channel.ChannelActive = false;
    player.finishFile();
    EXPECT_EQ(player.plays, 3);
}

TEST_F(Channel, ArmingTwiceKeepsTheCountdownAndARemovalWhileArmingStillGoesOnAir) {
    channel.tHid().setEnabled(true);
    loop.advance(3000);
    channel.tHid().setEnabled(true);
    state.channel.ChannelActive = false;  // a removal notice while counting down
    loop.advance(3000);
    EXPECT_TRUE(state.channel.ChannelActive);
    EXPECT_EQ(player.plays, 1);
}

TEST_F(Channel, AMessageThatCannotStartIsSilent) {
    state.onAir.CurrentAudioFile.clear();
    channel.tHidTimer();
    EXPECT_TRUE(state.channel.ChannelActive);
    EXPECT_EQ(player.plays, 0);
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Stream inicializado com sucesso.")});
    EXPECT_TRUE(uncaught.isEmpty());
}

TEST_F(Channel, AFailureInTheUnguardedOpeningLeavesTheChannelOffAir) {
    lister.countFails = true;
    channel.tHid().setEnabled(true);
    loop.advance(6000);
    EXPECT_EQ(uncaught, QStringList{QStringLiteral("count failed")});
    EXPECT_FALSE(state.channel.ChannelActive);
    EXPECT_EQ(player.plays, 0);
}

TEST_F(Channel, PanelClickShowsThePlayerUntilTheNextOpening) {
    channel.AcessaCanal();
    channel.HeaderPanel1Click();
    channel.AcessaCanal();
    EXPECT_EQ(views, (std::vector<WaveControl*>{&monitor, &player, &monitor}));
}

}  // namespace
