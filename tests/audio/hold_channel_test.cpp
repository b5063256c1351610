#include <gtest/gtest.h>

#include "audio/HoldChannel.h"
#include "audio/LineStatus.h"
#include "core/Runtime.h"
#include "core/VirtualEventLoop.h"
#include "support/FakeLog.h"
#include "support/FakeWaveControl.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

// The channel on fake controls, with the hold hardware listed.
struct ChannelRig {
    ChannelRig() {
        state.onAir.file = QStringLiteral("/opt/quindra/Audio/espera.wav");
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

class Channel : public ::testing::Test, public ChannelRig {};

TEST_F(Channel, OpensOnTheHardwaresMicrophoneAndSpeakerNames) {
    channel.openOnHoldHardware();

    const QStringList monitorCalls{
        QStringLiteral("open Microfone (Q-ZORBE) | Alto-falantes (Q-ZORBE)"),
        QStringLiteral("startCapture 2048")};
    EXPECT_EQ(monitor.calls, monitorCalls);
    const QStringList playerCalls{
        QStringLiteral("open Microfone (Q-ZORBE) | Alto-falantes (Q-ZORBE)"),
        QStringLiteral("format 44100 Hz 1 ch 16 bit")};
    EXPECT_EQ(player.calls, playerCalls);
    EXPECT_EQ(views, std::vector<WaveControl*>{&monitor});
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Stream inicializado com sucesso.")});
    EXPECT_EQ(loop.pausedMs(), 300);
}

TEST_F(Channel, NamesWithoutMicrofoneKeepThePlaybackNameEqual) {
    lister.inputs = {QStringLiteral("Mikrofon (Q-ZORBE)")};
    channel.openOnHoldHardware();
    EXPECT_EQ(player.captureDevice().name(), QStringLiteral("Mikrofon (Q-ZORBE)"));
    EXPECT_EQ(player.playbackDevice().name(), QStringLiteral("Mikrofon (Q-ZORBE)"));
}

TEST_F(Channel, EachMatchOpensAnewAndTheLastStays) {
    lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)"), QStringLiteral("quebrado"),
                     QStringLiteral("Microfone (2- Q-ZORBE)")};
    channel.openOnHoldHardware();
    // A device in between that is not the hardware opens nothing.
    EXPECT_EQ(log.lines.count(QStringLiteral("Stream inicializado com sucesso.")), 2);
    EXPECT_EQ(monitor.captureDevice().name(), QStringLiteral("Microfone (2- Q-ZORBE)"));
    EXPECT_EQ(player.playbackDevice().name(), QStringLiteral("Alto-falantes (2- Q-ZORBE)"));
}

TEST_F(Channel, OpensOnTheNamesAsTheServerGivesThemWithoutPausesBetweenDevices) {
    // A letter outside Latin-1 stays what it is, so the names reach the
    // devices they came from.
    lister.inputs = {QStringLiteral("Microfone (Realtek)"),
                     QStringLiteral("Microfone (Ω Q-ZORBE)")};
    channel.openOnHoldHardware();
    EXPECT_EQ(monitor.captureDevice().name(), QStringLiteral("Microfone (Ω Q-ZORBE)"));
    EXPECT_EQ(player.playbackDevice().name(), QStringLiteral("Alto-falantes (Ω Q-ZORBE)"));
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Stream inicializado com sucesso.")});
    EXPECT_EQ(loop.pausedMs(), 300);
}

TEST_F(Channel, OpeningFailuresAndTheirLines) {
    struct Case {
        const char* what;
        std::function<void(Channel&)> inject;
        QStringList lines;
        bool capturing;
    };
    const std::vector<Case> cases{
        {"hardware absent",
         [](ChannelRig& t) { t.lister.inputs = {QStringLiteral("Microfone (Realtek)")}; },
         {},
         false},
        {"monitor rejects the names",
         [](ChannelRig& t) { t.monitor.rejected = {QStringLiteral("Microfone (Q-ZORBE)")}; },
         {QStringLiteral("Erro ao iniciar monitoração do Canal 1"),
          QStringLiteral("Stream inicializado com sucesso.")},
         true},
        {"capture does not start",
         [](ChannelRig& t) { t.monitor.captureFails = true; },
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
        channel.openOnHoldHardware();
        EXPECT_EQ(log.lines, c.lines) << c.what;
        EXPECT_EQ(monitor.capturing, c.capturing) << c.what;
        EXPECT_EQ(loop.pausedMs() - pausedBefore, c.capturing ? 300 : 0) << c.what;
    }
}

TEST_F(Channel, StartTimerOpensMarksOnAirAndLoopsTheMessage) {
    channel.startTimer().setEnabled(true);
    loop.advance(5999);
    EXPECT_EQ(player.plays, 0);
    loop.advance(1);
    EXPECT_FALSE(channel.startTimer().enabled());
    EXPECT_TRUE(state.channel.active);
    EXPECT_EQ(player.file(), state.onAir.file);
    EXPECT_EQ(player.plays, 1);

    // Each end starts it again, with nothing in between.
    player.finishFile();
    player.finishFile();
    EXPECT_EQ(player.plays, 3);
    EXPECT_EQ(player.calls.filter(QStringLiteral("stop")).size(), 0);

    // Suspended (a swap) or off air (a removal): the end is left alone.
    state.swap.replaySuspended = true;
    player.finishFile();
    EXPECT_EQ(player.plays, 3);
    state.swap.replaySuspended = false;
    state.channel.active = false;
    player.finishFile();
    EXPECT_EQ(player.plays, 3);
}

// The player loops by itself; each end of a pass lets it go on or stops it.
TEST_F(Channel, EachEndOfAPassLetsTheLoopGoOnOrStopsIt) {
    const QString promo = QStringLiteral("/opt/quindra/Audio/promo.wav");
    struct Case {
        const char* what;
        std::function<void(Channel&)> before;  // what happens during the pass
        bool goesOn;
    };
    const std::vector<Case> cases{
        {"on air", [](Channel&) {}, true},
        {"unplugged", [](ChannelRig& t) { t.channel.hardwareUnplugged(); }, false},
        // The window closes: the suspension holds back the message that was
        // playing when it began.
        {"closing", [](ChannelRig& t) { t.state.swap.replaySuspended = true; }, false},
        // A swap stops the old message and starts the new one while replay
        // stays suspended for seconds: the new one goes on at once.
        {"new message during a swap",
         [&](Channel& t) {
             t.state.swap.replaySuspended = true;
             t.player.stop();
             t.state.onAir.file = promo;
             t.player.play(promo);
         },
         true},
    };
    for (const Case& c : cases) {
        state.swap.replaySuspended = false;
        state.onAir.file = QStringLiteral("/opt/quindra/Audio/espera.wav");
        player.stop();
        channel.start();
        c.before(*this);
        player.calls.clear();
        const unsigned starts = player.starts();
        player.endPass();
        player.endPass();
        EXPECT_EQ(player.playing(), c.goesOn) << c.what;
        EXPECT_EQ(player.starts(), starts) << c.what << ": the pass never starts over";
        EXPECT_EQ(player.calls.contains(QStringLiteral("stop")), !c.goesOn) << c.what;
    }
}

TEST_F(Channel, ArmingTwiceKeepsTheCountdownAndAnUnplugWhileArmingStillGoesOnAir) {
    channel.startTimer().setEnabled(true);
    loop.advance(3000);
    channel.startTimer().setEnabled(true);
    channel.hardwareUnplugged();  // a removal notice while counting down
    loop.advance(3000);
    EXPECT_TRUE(state.channel.active);
    EXPECT_EQ(player.plays, 1);
}

TEST_F(Channel, AMessageThatCannotStartIsSilent) {
    state.onAir.file.clear();
    channel.start();
    EXPECT_TRUE(state.channel.active);
    EXPECT_EQ(player.plays, 0);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Stream inicializado com sucesso.")});
    EXPECT_TRUE(uncaught.isEmpty());
}

TEST_F(Channel, AFailureInTheUnguardedOpeningLeavesTheChannelOffAir) {
    lister.listFails = true;
    channel.startTimer().setEnabled(true);
    loop.advance(6000);
    EXPECT_EQ(uncaught, QStringList{QStringLiteral("list failed")});
    EXPECT_FALSE(state.channel.active);
    EXPECT_EQ(player.plays, 0);
}

TEST_F(Channel, PanelClickShowsThePlayerUntilTheNextOpening) {
    channel.openOnHoldHardware();
    channel.showPlayerOnViews();
    channel.openOnHoldHardware();
    EXPECT_EQ(views, (std::vector<WaveControl*>{&monitor, &player, &monitor}));
}

}  // namespace

namespace {

const QString kFound = QStringLiteral("O hardware da espera foi localizado.");
const QString kWait = QStringLiteral("Aguarde inicializando stream.");
const QString kOpened = QStringLiteral("Stream inicializado com sucesso.");
const QString kNotInServer = QStringLiteral(
    "O hardware da espera não está no servidor de som; a mensagem de espera fica fora do ar até "
    "ele aparecer.");
const QString kNoServer = QStringLiteral(
    "O servidor de som não está disponível; o canal da espera será aberto quando o hardware da "
    "espera aparecer nele.");
const QString kBack = QStringLiteral("A mensagem de espera voltou ao ar.");

// The start timer finds no hold hardware in the sound server (it came by USB
// but the server has not added its devices yet): nothing goes to another
// device, and the channel opens by itself once the devices are there.
TEST_F(Channel, WithoutTheHardwareInTheServerTheChannelWaitsAndOpensWhenItAppears) {
    lister.inputs = {QStringLiteral("Microfone (Realtek HD)")};
    channel.startTimer().setEnabled(true);
    loop.advance(6000);
    EXPECT_FALSE(state.channel.active);
    EXPECT_EQ(player.plays, 0);
    EXPECT_EQ(log.lines, QStringList{kNotInServer});

    lister.changeDevices();  // something else changed
    EXPECT_FALSE(channel.startTimer().enabled());
    lister.inputs << QStringLiteral("Microfone (Q-ZORBE)");
    lister.changeDevices();
    lister.changeDevices();  // a burst: the countdown is not restarted
    EXPECT_EQ(log.lines, (QStringList{kNotInServer, kFound, kWait}));
    loop.advance(6000);
    EXPECT_TRUE(state.channel.active);
    EXPECT_EQ(player.file(), state.onAir.file);
    EXPECT_EQ(player.playbackDevice().name(), QStringLiteral("Alto-falantes (Q-ZORBE)"));
    EXPECT_EQ(log.lines, (QStringList{kNotInServer, kFound, kWait, kOpened}));
}

// The sound server is not running when the program starts (the scan could
// not count the devices): one line, then the channel opens when it comes.
TEST_F(Channel, ASoundServerThatIsNotThereYetIsWaitedFor) {
    lister.listFails = true;
    lister.changeDevices();
    lister.changeDevices();
    EXPECT_EQ(log.lines, QStringList{kNoServer});
    lister.listFails = false;
    lister.changeDevices();
    loop.advance(6000);
    EXPECT_TRUE(state.channel.active);
    EXPECT_EQ(player.plays, 1);
    EXPECT_EQ(log.lines, (QStringList{kNoServer, kFound, kWait, kOpened}));
}

// Taken down on purpose, the channel is not brought back by the devices: an
// unplugged one waits for the USB arrival, a swap or a shutdown is left alone.
TEST_F(Channel, AChannelTakenDownOnPurposeIsNotBroughtBack) {
    channel.start();
    channel.hardwareUnplugged();
    lister.changeDevices();
    EXPECT_FALSE(channel.startTimer().enabled());

    channel.start();  // the USB arrival armed it
    EXPECT_TRUE(state.channel.active);

    // The program closes while the channel waits for the hardware.
    channel.hardwareUnplugged();
    lister.inputs = {QStringLiteral("Microfone (Realtek HD)")};
    channel.start();
    state.swap.replaySuspended = true;
    lister.inputs << QStringLiteral("Microfone (Q-ZORBE)");
    lister.changeDevices();
    EXPECT_FALSE(channel.startTimer().enabled());
    EXPECT_EQ(log.lines.count(kFound), 0);
    state.swap.replaySuspended = false;
    lister.changeDevices();
    EXPECT_TRUE(channel.startTimer().enabled());
}

// Every silence nobody asked for is written, and so is the message's return;
// an unplug writes its own line instead.
TEST_F(Channel, ALostSoundIsWrittenAndSoIsItsReturn) {
    const QString deviceGone = QStringLiteral(
        "O dispositivo de áudio da espera saiu do servidor de som; a mensagem de espera está fora "
        "do ar.");
    const QString serverGone =
        QStringLiteral("O servidor de som parou; a mensagem de espera está fora do ar.");
    channel.start();
    log.lines.clear();

    player.loseSound(PlaybackLoss::DeviceGone);
    loop.advance(1999);
    EXPECT_TRUE(log.lines.isEmpty());
    loop.advance(1);
    EXPECT_EQ(log.lines, QStringList{deviceGone});
    player.restoreSound();
    EXPECT_EQ(log.lines, (QStringList{deviceGone, kBack}));

    // Back within the grace: the short silence is still written.
    log.lines.clear();
    player.loseSound(PlaybackLoss::ServerGone);
    loop.advance(500);
    player.restoreSound();
    EXPECT_EQ(log.lines, (QStringList{serverGone, kBack}));

    // Lost, then unplugged: the unplug's line says it all. The replug
    // brings a line that the message is back only after a written silence.
    log.lines.clear();
    player.loseSound(PlaybackLoss::DeviceGone);
    channel.hardwareUnplugged();
    loop.advance(5000);
    player.loseSound(PlaybackLoss::DeviceGone);  // while off air
    loop.advance(5000);
    channel.start();
    EXPECT_EQ(log.lines, QStringList{kOpened});

    player.loseSound(PlaybackLoss::DeviceSuspended);
    loop.advance(2000);
    channel.hardwareUnplugged();
    channel.start();
    EXPECT_EQ(log.lines.mid(1),
              (QStringList{QStringLiteral("O dispositivo de áudio da espera foi suspenso; a "
                                          "mensagem de espera está fora do ar."),
                           kOpened, kBack}));
}

TEST_F(Channel, ABurstOfUnderrunsGetsALine) {
    channel.start();
    log.lines.clear();
    player.underrun();
    player.underrun();
    loop.advance(10000);
    EXPECT_TRUE(log.lines.isEmpty()) << "two in ten seconds";
    // Three is already a burst.
    for (int i = 0; i < 3; ++i) {
        player.underrun();
        loop.advance(1000);
    }
    loop.advance(7000);
    EXPECT_EQ(log.lines,
              QStringList{QStringLiteral(
                  "Falhas no som da mensagem de espera: 3 interrupções em 10 segundos.")});
    log.lines.clear();
    for (int i = 0; i < 4; ++i) {
        player.underrun();
        loop.advance(1000);
    }
    loop.advance(6000);
    EXPECT_EQ(log.lines,
              QStringList{QStringLiteral(
                  "Falhas no som da mensagem de espera: 4 interrupções em 10 segundos.")});
    EXPECT_EQ(channel.underruns(), 9);
}

}  // namespace

namespace {

const QString kFoundSilent =
    QStringLiteral("A mensagem de espera estava em silêncio sem aviso e foi reiniciada.");
constexpr int kStallMs = HoldChannel::kWatchMs * (HoldChannel::kStalledLooks + 1);

// The last line of defence: a line that should carry the message and has
// carried nothing for a while, with nobody having said a word, gets the
// message started again and one line; its return is written once it sounds.
TEST_F(Channel, ASilentLineNobodyToldOfIsStartedAgainWithOneLine) {
    channel.start();
    log.lines.clear();
    loop.advance(kStallMs);
    EXPECT_TRUE(log.lines.isEmpty()) << "a line that sounds is left alone";

    player.silent = true;
    const int plays = player.plays;
    loop.advance(kStallMs);
    EXPECT_EQ(log.lines, QStringList{kFoundSilent});
    EXPECT_EQ(player.plays, plays + 1);
    EXPECT_EQ(player.file(), state.onAir.file);

    // Still silent: started again, without another line.
    loop.advance(kStallMs);
    EXPECT_GT(player.plays, plays + 1);
    EXPECT_EQ(log.lines, QStringList{kFoundSilent});

    player.silent = false;
    loop.advance(HoldChannel::kWatchMs * 2);
    EXPECT_EQ(log.lines, (QStringList{kFoundSilent, kBack}));
}

// A loss the player told and never mended: the silence was written, the
// watch says it acted, and the return follows.
TEST_F(Channel, ALossThatIsNeverMendedIsStartedAgain) {
    channel.start();
    log.lines.clear();
    player.silent = true;
    player.loseSound(PlaybackLoss::StreamEnded);
    loop.advance(kStallMs);
    player.silent = false;
    loop.advance(HoldChannel::kWatchMs * 2);
    EXPECT_EQ(log.lines,
              (QStringList{QStringLiteral("O servidor de som encerrou o stream da mensagem; a "
                                          "mensagem de espera está fora do ar."),
                           QStringLiteral("A mensagem de espera seguia fora do ar e foi "
                                          "reiniciada."),
                           kBack}));
}

// Silences that are someone's on purpose, or that a start cannot mend.
TEST_F(Channel, TheWatchLeavesAloneWhatAStartCannotMendOrWhatWasStoppedOnPurpose) {
    const std::vector<std::pair<const char*, std::function<void(ChannelRig&)>>> cases = {
        {"a swap's pause", [](ChannelRig& t) { t.state.swap.replaySuspended = true; }},
        {"the hardware unplugged", [](ChannelRig& t) { t.channel.hardwareUnplugged(); }},
        {"the sound server away", [](ChannelRig& t) { t.lister.listFails = true; }},
        {"the hold hardware not in the server",
         [](ChannelRig& t) { t.lister.inputs = {QStringLiteral("Microfone (Realtek HD)")}; }},
        {"a message the player cannot play",
         [](ChannelRig& t) { t.player.loseSound(PlaybackLoss::FileFailed); }},
        {"no message at all", [](ChannelRig& t) { t.state.onAir.file.clear(); }},
        {"the program ending", [](ChannelRig& t) { t.channel.stopWatching(); }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        ChannelRig t;
        t.channel.start();
        t.player.silent = true;
        make(t);
        t.log.lines.clear();
        const int plays = t.player.plays;
        t.loop.advance(kStallMs * 3);
        EXPECT_EQ(t.player.plays, plays);
        EXPECT_FALSE(t.log.lines.contains(kFoundSilent));
    }
}

}  // namespace

namespace {

// What the channel learns about the line reaches the line's state: a loss
// only once its grace is over, the watch's restart as a silence until the
// sound moves, an unplug, a file the player cannot read, a server away.
TEST_F(Channel, TellsTheLineStateWhatItLearns) {
    LineStatus line;
    line.messageChanged(state.onAir.file, 3000);
    channel.reportTo(line);
    const auto reason = [&] { return line.state().reason; };

    lister.listFails = true;
    lister.changeDevices();
    EXPECT_EQ(reason(), OffAirReason::SoundServerDown);
    lister.listFails = false;
    lister.changeDevices();
    EXPECT_EQ(reason(), OffAirReason::Opening);
    EXPECT_TRUE(line.state().hardwarePresent);
    loop.advance(6000);
    EXPECT_TRUE(line.state().onAir);

    player.loseSound(PlaybackLoss::ServerGone);
    loop.advance(1999);
    EXPECT_TRUE(line.state().onAir) << "within the grace";
    loop.advance(1);
    EXPECT_EQ(reason(), OffAirReason::SoundServerDown);
    player.restoreSound();
    EXPECT_TRUE(line.state().onAir);

    player.silent = true;
    loop.advance(kStallMs);
    EXPECT_EQ(reason(), OffAirReason::SoundStopped);
    EXPECT_FALSE(line.state().onPurpose);
    player.silent = false;
    loop.advance(HoldChannel::kWatchMs * 2);
    EXPECT_TRUE(line.state().onAir);

    player.loseSound(PlaybackLoss::FileFailed);
    EXPECT_EQ(reason(), OffAirReason::MessageUnplayable);
    line.messageChanged(state.onAir.file, 3000);
    EXPECT_TRUE(line.state().onAir);

    channel.hardwareUnplugged();
    EXPECT_FALSE(line.state().onAir);
    lister.inputs = {QStringLiteral("Microfone (Realtek HD)")};
    channel.start();
    EXPECT_EQ(reason(), OffAirReason::HardwareAbsent);
}

}  // namespace
