#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include <utility>
#include <vector>

#include "audio/HoldChannel.h"
#include "config/SqliteRegistry.h"
#include "config/Values.h"
#include "core/FormView.h"
#include "core/LocaleFormats.h"
#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "core/VirtualEventLoop.h"
#include "mail/MailNotices.h"
#include "rotation/MessageRotation.h"
#include "support/FakeClock.h"
#include "support/FakeFiles.h"
#include "support/FakeLabels.h"
#include "support/FakeWaveControl.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

const QString kEfetuando = QStringLiteral("Efetuando troca de arquivo de áudio.");
const QString kSucesso = QStringLiteral("Troca de arquivo de áudio efetuada com sucesso.");
const QString kErroAntigo = QStringLiteral("Erro ao deletar arquivo antigo.");

// The store, with every write of a value recorded in order; a value can be
// refused as a read-only store would.
class RecordingRegistry final : public Registry {
public:
    explicit RecordingRegistry(Registry& store) : store_(store) {}
    bool keyExists(Root root, const QString& path) override { return store_.keyExists(root, path); }
    bool createKey(Root root, const QString& path) override { return store_.createKey(root, path); }
    std::optional<RegValue> value(Root root, const QString& path, const QString& name) override {
        return store_.value(root, path, name);
    }
    bool setValue(Root root, const QString& path, const QString& name, const RegValue& v) override {
        if (refused.contains(name))
            return false;
        writes << name + QLatin1Char('=') + v.text;
        return store_.setValue(root, path, name, v);
    }
    QStringList writes;
    QStringList refused;

private:
    Registry& store_;
};

// Status lines with the virtual time they were written at.
class TimedLog final : public MessageLog {
public:
    explicit TimedLog(const VirtualEventLoop& loop) : loop_(loop) {}
    bool AddMsg(const QString& message) noexcept override {
        lines << message;
        at.push_back(loop_.now());
        return false;
    }
    QStringList lines;
    std::vector<std::int64_t> at;

private:
    const VirtualEventLoop& loop_;
};

// A running program with the channel on air: "espera.wav" plays from the
// message folder, and the drop folder is empty.
class Rotation : public ::testing::Test {
protected:
    Rotation() {
        paths.appDir = tmp.path() + QStringLiteral("/app/");
        paths.defaultDropFolder = tmp.path() + QStringLiteral("/drop/");
        drop = tmp.path() + QStringLiteral("/drop");
        messages = paths.messageFolder();
        QDir().mkpath(drop);
        QDir().mkpath(messages);
        store.createKey(Root::LocalMachine, kConfigKey);
        store.setValue(Root::LocalMachine, kConfigKey, QStringLiteral("DataAtual"),
                       RegValue::String(QStringLiteral("01/12/2026-08:00:00")));
        state.settings.PathAudio = drop;
        state.channel.ChannelActive = true;
        loop.setUncaughtHandler([this](const std::exception& e) { uncaught << ErrorText(e); });
        mail.EnviaEmail = [this](MailNotices::Type) { ++notices; };
        onAir(QStringLiteral("espera.wav"));
        rotation.pointListingAt(state.settings.PathAudio);  // as the start-up does
    }

    // A file whose content names where it came from.
    void put(const QString& folder, const QString& name) {
        QFile f(folder + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
        f.write((QFileInfo(folder).fileName() + QLatin1Char(':') + name).toUtf8());
    }
    void onAir(const QString& name) {
        put(messages, name);
        state.onAir.CurrentAudioFile = messages + QLatin1Char('/') + name;
        player.PlayFile(state.onAir.CurrentAudioFile);
        player.calls.clear();
    }
    // Every file, hidden ones too, so that nothing left behind goes unseen.
    static QStringList filesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    static QString contentOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QString stored(const QString& name) {
        const auto v = store.value(Root::LocalMachine, kConfigKey, name);
        return v ? v->text : QStringLiteral("<missing>");
    }
    QStringList played() const { return player.calls.filter(QStringLiteral("PlayFile ")); }
    QString playing(const QString& name) const {
        return QStringLiteral("PlayFile ") + messages + QLatin1Char('/') + name;
    }

    QTemporaryDir tmp;
    Paths paths;
    QString drop;
    QString messages;
    VirtualEventLoop loop;
    SqliteRegistry store{tmp.filePath(QStringLiteral("registry.db"))};
    RecordingRegistry registry{store};
    FakeClock clock{QDateTime(QDate(2026, 12, 10), QTime(14, 5, 33))};
    LocaleFormats formats{QLocale(QStringLiteral("pt_BR"))};
    RuntimeState state;
    MailNotices mail{loop};
    FakeWaveControl player;
    TimedLog log{loop};
    FakeLabels view;
    FakeFileOperations files;
    FakeAudioProbe probe;
    int notices = 0;
    QStringList uncaught;
    MessageRotation rotation{{.loop = loop,
                              .registry = registry,
                              .clock = clock,
                              .formats = formats,
                              .swap = state.swap,
                              .onAir = state.onAir,
                              .state = state,
                              .PlayC1 = player,
                              .log = log,
                              .view = view,
                              .paths = paths,
                              .files = files,
                              .probe = probe},
                             [this] { mail.messageSwapped(); }};
};

TEST_F(Rotation, TheRoadOfOneMessageChange) {
    mail.setSendMailFlag(true);
    mail.setTrocaMsgFlag(true);
    clock.stepMs = 1000;  // a second clock read is a second later
    put(drop, QStringLiteral("promo.wav"));
    std::vector<std::pair<std::int64_t, QString>> playerAt;
    player.onCall = [&](const QString& call) { playerAt.emplace_back(loop.now(), call); };

    // 1-2. Within 30 s the check finds promo.wav first.
    loop.advance(29999);
    EXPECT_TRUE(log.lines.isEmpty());
    loop.advance(1);

    // 3. The message was playing: suspended, stopped, 3000 ms of tReset and
    // 750 ms; 4. files exchanged; 5. the new message starts after 250 ms.
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(log.at, (std::vector<std::int64_t>{30000, 34000}));
    EXPECT_EQ(playerAt, (std::vector<std::pair<std::int64_t, QString>>{
                            {30000, QStringLiteral("StopPlay")},
                            {34000, playing(QStringLiteral("promo.wav"))}}));
    EXPECT_EQ(loop.pausedMs(), 750 + 250);
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("promo.wav")});
    EXPECT_EQ(contentOf(messages + QStringLiteral("/promo.wav")), QStringLiteral("drop:promo.wav"));
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_EQ(state.onAir.CurrentAudioFile, messages + QStringLiteral("/promo.wav"));

    // The history, written in its order and read back into the labels.
    EXPECT_EQ(registry.writes,
              (QStringList{QStringLiteral("ArquivoAtual=promo.wav"),
                           QStringLiteral("ArquivoAnterior=espera.wav"),
                           QStringLiteral("DataAnteriorEntra=01/12/2026-08:00:00"),
                           QStringLiteral("DataAtual=10/12/2026-14:05:33"),
                           QStringLiteral("DataAnteriorSai=10/12/2026-14:05:34")}));
    EXPECT_EQ(view.label(Label::lbArquivo), QStringLiteral("promo.wav"));
    EXPECT_EQ(view.label(Label::lbArquivoAnterior), QStringLiteral("espera.wav"));
    EXPECT_EQ(view.label(Label::lbDataHoraAtual), QStringLiteral("10/12/2026-14:05:33"));
    EXPECT_EQ(view.label(Label::lbDataHoraAnterior), QStringLiteral("01/12/2026-08:00:00"));
    EXPECT_EQ(view.label(Label::lbDataHoraAnteriroSai), QStringLiteral("10/12/2026-14:05:34"));

    EXPECT_TRUE(state.swap.ReplaySuspended);
    EXPECT_TRUE(state.swap.SwapPauseActive);
    EXPECT_FALSE(rotation.tVerificaArquivo().enabled());
    EXPECT_FALSE(rotation.tReset().enabled());
    EXPECT_TRUE(rotation.tLimpaVar().enabled());
    EXPECT_TRUE(mail.tTrocaMsg().enabled());

    // 6. The swap notice a second later.
    loop.advance(999);
    EXPECT_EQ(notices, 0);
    loop.advance(1);
    EXPECT_EQ(notices, 1);
    EXPECT_FALSE(mail.tTrocaMsg().enabled());

    // 7. 7000 ms after the check the replay is allowed and the watch resumes;
    // its next check comes 30 s later.
    loop.advance(41000 - 1 - loop.now());
    EXPECT_TRUE(state.swap.ReplaySuspended);
    loop.advance(1);
    EXPECT_FALSE(state.swap.ReplaySuspended);
    EXPECT_TRUE(rotation.tVerificaArquivo().enabled());
    put(drop, QStringLiteral("leia-me.txt"));
    loop.advance(30000);
    EXPECT_EQ(log.at.back(), 71000);
    EXPECT_EQ(notices, 1);
}

const QStringList kEspera{QStringLiteral("espera.wav")};
const QStringList kNone{};

// One check of the drop folder. By default the channel is on air with
// espera.wav playing, and the check finds nothing to do.
struct EdgeCase {
    const char* name = "";
    QStringList dropped{};
    QStringList onAirBefore = kEspera;  // message folder; empty: nothing on air
    bool channelActive = true;
    bool playing = true;
    QStringList lines{};
    QStringList messagesAfter = kEspera;
    QStringList droppedAfter{};
    QString started{};                         // the file PlayFile was given, if any
    std::optional<QString> arquivoAnterior{};  // nothing: no history written
    bool suspended = false;
    bool watchEnabled = true;
    bool limpaVarArmed = true;
    int pausedMs = 0;
};

void PrintTo(const EdgeCase& c, std::ostream* os) {
    *os << c.name;
}

class RotationEdge : public Rotation, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(RotationEdge, OneCheck) {
    const EdgeCase& c = GetParam();
    QFile::remove(state.onAir.CurrentAudioFile);
    state.onAir.CurrentAudioFile.clear();
    player.StopPlay();
    for (const QString& name : c.onAirBefore)
        onAir(name);
    if (!c.playing)
        player.StopPlay();
    player.calls.clear();
    for (const QString& name : c.dropped)
        put(drop, name);
    state.channel.ChannelActive = c.channelActive;

    loop.advance(30000);

    EXPECT_EQ(log.lines, c.lines);
    EXPECT_EQ(filesIn(messages), c.messagesAfter);
    EXPECT_EQ(filesIn(drop), c.droppedAfter);
    if (c.started.isEmpty()) {
        EXPECT_EQ(played(), QStringList{});
    } else {
        EXPECT_EQ(played(), QStringList{playing(c.started)});
        // The copy took the place of the old file, whatever its name.
        EXPECT_EQ(contentOf(messages + QLatin1Char('/') + c.started),
                  QStringLiteral("drop:") + c.started);
        EXPECT_EQ(player.calls.contains(QStringLiteral("StopPlay")), c.playing);
    }
    if (c.arquivoAnterior) {
        EXPECT_EQ(stored(QStringLiteral("ArquivoAtual")), c.started);
        EXPECT_EQ(stored(QStringLiteral("ArquivoAnterior")), *c.arquivoAnterior);
    } else {
        EXPECT_EQ(registry.writes, QStringList{});
    }
    EXPECT_EQ(state.swap.ReplaySuspended, c.suspended);
    EXPECT_EQ(rotation.tVerificaArquivo().enabled(), c.watchEnabled);
    EXPECT_EQ(rotation.tLimpaVar().enabled(), c.limpaVarArmed);
    EXPECT_EQ(loop.pausedMs(), c.pausedMs);
    EXPECT_EQ(uncaught, QStringList{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RotationEdge,
    ::testing::Values(EdgeCase{.name = "EmptyDropFolder"},
                      EdgeCase{.name = "UpperCaseExtension",
                               .dropped = {QStringLiteral("promo.WAV")},
                               .lines = {kEfetuando},
                               .limpaVarArmed = false},
                      EdgeCase{.name = "MixedCaseExtension",
                               .dropped = {QStringLiteral("promo.Mp3")},
                               .lines = {kEfetuando},
                               .limpaVarArmed = false},
                      EdgeCase{.name = "NoExtension",
                               .dropped = {QStringLiteral("leia-me")},
                               .lines = {kEfetuando},
                               .limpaVarArmed = false},
                      EdgeCase{.name = "HiddenFileIsNeverSeen",
                               .dropped = {QStringLiteral(".oculto.wav")},
                               .droppedAfter = {QStringLiteral(".oculto.wav")}},
                      EdgeCase{.name = "OnlyTheFirstFileOfTheListing",
                               .dropped = {QStringLiteral("b.wav"), QStringLiteral("A.mp3"),
                                           QStringLiteral("c.txt")},
                               .lines = {kEfetuando, kSucesso},
                               .messagesAfter = {QStringLiteral("A.mp3")},
                               .droppedAfter = {QStringLiteral("b.wav"), QStringLiteral("c.txt")},
                               .started = QStringLiteral("A.mp3"),
                               .arquivoAnterior = QStringLiteral("espera.wav"),
                               .suspended = true,
                               .watchEnabled = false,
                               .pausedMs = 1000},
                      EdgeCase{.name = "SameNameAsTheMessageOnAir",
                               .dropped = kEspera,
                               .lines = {kEfetuando, kSucesso},
                               .started = QStringLiteral("espera.wav"),
                               .arquivoAnterior = QStringLiteral("espera.wav"),
                               .suspended = true,
                               .watchEnabled = false,
                               .pausedMs = 1000},
                      EdgeCase{.name = "BlanksAccentsAndSeveralDots",
                               .dropped = {QStringLiteral("Promoção de Natal.v2.final.mp3")},
                               .lines = {kEfetuando, kSucesso},
                               .messagesAfter = {QStringLiteral("Promoção de Natal.v2.final.mp3")},
                               .started = QStringLiteral("Promoção de Natal.v2.final.mp3"),
                               .arquivoAnterior = QStringLiteral("espera.wav"),
                               .suspended = true,
                               .watchEnabled = false,
                               .pausedMs = 1000},
                      EdgeCase{.name = "SwapWhileNothingPlays",
                               .dropped = {QStringLiteral("promo.wav")},
                               .playing = false,
                               .lines = {kEfetuando, kSucesso},
                               .messagesAfter = {QStringLiteral("promo.wav")},
                               .started = QStringLiteral("promo.wav"),
                               .arquivoAnterior = QStringLiteral("espera.wav"),
                               .watchEnabled = false,
                               .pausedMs = 250},
                      EdgeCase{.name = "EmptyMessageFolder",
                               .dropped = {QStringLiteral("promo.wav")},
                               .onAirBefore = kNone,
                               .playing = false,
                               .lines = {kEfetuando, kErroAntigo, kSucesso},
                               .messagesAfter = {QStringLiteral("promo.wav")},
                               .started = QStringLiteral("promo.wav"),
                               .arquivoAnterior = QString(),
                               .watchEnabled = false,
                               .pausedMs = 250},
                      EdgeCase{
                          .name = "ChannelNotOnAir",
                          .dropped = {QStringLiteral("promo.wav"), QStringLiteral("leia-me")},
                          .channelActive = false,
                          .droppedAfter = {QStringLiteral("leia-me"), QStringLiteral("promo.wav")},
                          .limpaVarArmed = false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Rotation, SeveralFilesGoOnAirOneCheckEachInListingOrder) {
    for (const char* name : {"c.wav", "A.mp3", "b.wav"})
        put(drop, QString::fromLatin1(name));
    // Each check takes 4 s, the watch resumes 7 s later, the next check
    // comes 30 s after that.
    loop.advance(30000 + 2 * 41000 + 4000);
    EXPECT_EQ(played(),
              (QStringList{playing(QStringLiteral("A.mp3")), playing(QStringLiteral("b.wav")),
                           playing(QStringLiteral("c.wav"))}));
    EXPECT_EQ(log.at, (std::vector<std::int64_t>{30000, 34000, 71000, 75000, 112000, 116000}));
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("c.wav")});
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_EQ(stored(QStringLiteral("ArquivoAnterior")), QStringLiteral("b.wav"));
}

TEST_F(Rotation, AReadOnlyDropGoesOnAirAsAWritableCopy) {
    put(drop, QStringLiteral("promo.wav"));
    QFile::setPermissions(drop + QStringLiteral("/promo.wav"),
                          QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    loop.advance(30000);
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_TRUE(QFileInfo(messages + QStringLiteral("/promo.wav")).permissions() &
                QFileDevice::WriteOwner);
}

// What arrives while the swap stops the player and waits for tReset: the
// end of the old file (handled by the real replay loop) and a removal notice
// of the hardware, which is ignored while the replay is suspended.
TEST_F(Rotation, AnEndOfFileAndARemovalDuringTheStopLoopChangeNothing) {
    FakeWaveControl monitor, lister;
    HoldChannel channel({player, monitor, lister}, state.channel, state, log, loop, nullptr);
    player.stopsToStop = 3;
    std::optional<bool> removalSawSuspended;
    std::optional<bool> watchDuringSwap;
    bool posted = false;
    player.onCall = [&](const QString& call) {
        if (call != QStringLiteral("StopPlay") || std::exchange(posted, true))
            return;
        loop.post([&] { player.finishFile(); });
        loop.post([&] {
            removalSawSuspended = state.swap.ReplaySuspended;
            watchDuringSwap = rotation.tVerificaArquivo().enabled();
        });
    };
    put(drop, QStringLiteral("promo.wav"));

    loop.advance(30000);

    EXPECT_EQ(removalSawSuspended, true);
    EXPECT_EQ(watchDuringSwap, false);
    // The old message was not restarted; the stop loop ended once the file
    // had ended, and the swap went its usual way.
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(player.calls.count(QStringLiteral("StopPlay")), 1);
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(loop.now(), 34000);
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("promo.wav")});
}

// A player that stops only at the third request, each answered by an event
// of the sound server, as an asynchronous stop would be.
TEST_F(Rotation, TheStopLoopRepeatsStopPlayUntilThePlayerHasStopped) {
    player.stopsToStop = 3;
    player.onCall = [&](const QString& call) {
        if (call == QStringLiteral("StopPlay"))
            loop.post([] {});
    };
    put(drop, QStringLiteral("promo.wav"));
    loop.advance(30000);
    EXPECT_EQ(player.calls.count(QStringLiteral("StopPlay")), 3);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(log.at.back(), 34000);
}

// A message shorter than the suspension ends before the replay is allowed:
// the swap started it on purpose, so it goes on at once rather than wait for
// the suspension to lift, and a long one is left alone.
TEST_F(Rotation, AMessageThatEndsWhileSuspendedGoesOnAtOnce) {
    FakeWaveControl monitor, lister;
    HoldChannel channel({player, monitor, lister}, state.channel, state, log, loop, nullptr);
    put(drop, QStringLiteral("curta.wav"));
    loop.advance(30000);
    ASSERT_EQ(played(), QStringList{playing(QStringLiteral("curta.wav"))});

    loop.advance(500);
    player.finishFile();
    EXPECT_EQ(played(), (QStringList{playing(QStringLiteral("curta.wav")),
                                     playing(QStringLiteral("curta.wav"))}));
    EXPECT_TRUE(player.Playing());
    loop.advance(41000 - loop.now());
    EXPECT_EQ(played().size(), 2);

    put(drop, QStringLiteral("longa.wav"));
    loop.advance(71000 + 4000 + 7000 - loop.now());
    EXPECT_EQ(played().back(), playing(QStringLiteral("longa.wav")));
    EXPECT_EQ(played().count(playing(QStringLiteral("longa.wav"))), 1);
    EXPECT_FALSE(state.swap.ReplaySuspended);
}

// A copy that fails, before or at its rename into place, leaves everything
// as it was: the old message on air and in its folder, the dropped file in
// the drop folder, no history. The next check tries again.
struct CopyFault {
    const char* name;
    bool copyFails;
    bool renameFails;
    QStringList player;  // what the player was told
};

void PrintTo(const CopyFault& c, std::ostream* os) {
    *os << c.name;
}

class RotationCopyFault : public Rotation, public ::testing::WithParamInterface<CopyFault> {};

TEST_P(RotationCopyFault, KeepsTheOldMessageOnAir) {
    const CopyFault& c = GetParam();
    files.copyFails = c.copyFails;
    files.renameFails = c.renameFails;
    put(drop, QStringLiteral("promo.wav"));

    loop.advance(30000);

    EXPECT_EQ(log.lines,
              (QStringList{kEfetuando,
                           QStringLiteral("Erro ao copiar o arquivo de áudio promo.wav; a mensagem "
                                          "atual continua no ar.")}));
    QStringList expectedCalls;
    for (const QString& call : c.player)
        expectedCalls << (call == QStringLiteral("old") ? playing(QStringLiteral("espera.wav"))
                                                        : call);
    EXPECT_EQ(player.calls, expectedCalls);
    EXPECT_TRUE(player.Playing());
    EXPECT_EQ(filesIn(messages), kEspera);
    EXPECT_EQ(contentOf(messages + QStringLiteral("/espera.wav")),
              QStringLiteral("Audio:espera.wav"));
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("promo.wav")});
    EXPECT_EQ(registry.writes, QStringList{});
    EXPECT_EQ(state.onAir.CurrentAudioFile, messages + QStringLiteral("/espera.wav"));

    files.copyFails = files.renameFails = false;
    loop.advance(50000);
    EXPECT_EQ(log.lines.back(), kSucesso);
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("promo.wav")});
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RotationCopyFault,
    ::testing::Values(
        // Nothing was stopped.
        CopyFault{"DiskFull", true, false, {}},
        // The old message had been stopped for the swap and starts again.
        CopyFault{
            "RenameRefused", false, true, {QStringLiteral("StopPlay"), QStringLiteral("old")}}),
    [](const auto& info) { return std::string(info.param.name); });

// An audio file that cannot be played never goes on air and never holds up
// the files behind it.
struct UnplayableCase {
    const char* name;
    bool setAsideFolderRefused;
    QString line;
    QStringList dropAfter;
};

void PrintTo(const UnplayableCase& c, std::ostream* os) {
    *os << c.name;
}

class RotationUnplayable : public Rotation, public ::testing::WithParamInterface<UnplayableCase> {};

TEST_P(RotationUnplayable, StaysOffAirAndOutOfTheWay) {
    const UnplayableCase& c = GetParam();
    files.makeFolderFails = c.setAsideFolderRefused;
    if (!c.setAsideFolderRefused) {
        // One from before, whose name is not taken over.
        QDir(drop).mkdir(QStringLiteral("Inválidos"));
        put(drop + QStringLiteral("/Inválidos"), QStringLiteral("a-quebrado.wav"));
    }
    put(drop, QStringLiteral("a-quebrado.wav"));
    put(drop, QStringLiteral("b-boa.wav"));
    probe.undecodable = {QStringLiteral("a-quebrado.wav")};

    loop.advance(30000);
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, c.line}));
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(filesIn(messages), kEspera);
    EXPECT_TRUE(rotation.tVerificaArquivo().enabled());

    loop.advance(30000);
    EXPECT_EQ(probe.probed,
              (QStringList{QStringLiteral("a-quebrado.wav"), QStringLiteral("b-boa.wav")}));
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("b-boa.wav"))});
    EXPECT_EQ(filesIn(drop), c.dropAfter);
    if (!c.setAsideFolderRefused) {
        EXPECT_EQ(
            filesIn(drop + QStringLiteral("/Inválidos")),
            (QStringList{QStringLiteral("a-quebrado (2).wav"), QStringLiteral("a-quebrado.wav")}));
        EXPECT_EQ(contentOf(drop + QStringLiteral("/Inválidos/a-quebrado (2).wav")),
                  QStringLiteral("drop:a-quebrado.wav"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RotationUnplayable,
    ::testing::Values(
        UnplayableCase{"MovedAside",
                       false,
                       QStringLiteral("O arquivo de áudio a-quebrado.wav não pôde ser lido e foi "
                                      "movido para a pasta \"Inválidos\"; a mensagem atual "
                                      "continua no ar."),
                       {}},
        UnplayableCase{"PassedOverWhenItCannotBeMoved",
                       true,
                       QStringLiteral("O arquivo de áudio a-quebrado.wav não pôde ser lido e fica "
                                      "na pasta de reposição sem ir ao ar; a mensagem atual "
                                      "continua no ar."),
                       {QStringLiteral("a-quebrado.wav")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Rotation, AVanishedDropFolderIsMadeAgainOrReportedOnceAndTheWatchGoesOn) {
    QDir(drop).removeRecursively();
    files.makeFolderFails = true;
    state.swap.ReplaySuspended = true;  // as a shutdown would have left it
    loop.advance(3 * 30000);
    EXPECT_EQ(
        log.lines,
        QStringList{QStringLiteral("A pasta de reposição %1 não existe e não pôde ser criada; a "
                                   "verificação continua.")
                        .arg(drop)});
    EXPECT_TRUE(rotation.tVerificaArquivo().enabled());
    EXPECT_FALSE(state.swap.ReplaySuspended);
    EXPECT_EQ(uncaught, QStringList{});

    files.makeFolderFails = false;
    loop.advance(30000);
    EXPECT_EQ(
        log.lines.back(),
        QStringLiteral("A pasta de reposição %1 não existia e foi criada novamente.").arg(drop));
    EXPECT_TRUE(QFileInfo(drop).isDir());
    put(drop, QStringLiteral("promo.wav"));
    loop.advance(30000);
    EXPECT_EQ(log.lines.back(), kSucesso);

    // A setting that never named anything has no folder to make again.
    const int before = static_cast<int>(log.lines.size());
    state.settings.PathAudio = tmp.path() + QStringLiteral("/nunca");
    loop.advance(2 * 41000);
    EXPECT_EQ(log.lines.mid(before),
              QStringList{QStringLiteral("A pasta de reposição %1 não foi "
                                         "encontrada; a verificação continua.")
                              .arg(state.settings.PathAudio)});
    EXPECT_TRUE(rotation.tVerificaArquivo().enabled());
    EXPECT_EQ(uncaught, QStringList{});
}

// The setting names a file chosen with the browse button; once a swap has
// taken that file away, its folder is still the drop folder.
TEST_F(Rotation, AChosenFileTakenAwayLeavesItsFolderWatched) {
    put(drop, QStringLiteral("escolhida.wav"));
    state.settings.PathAudio = drop + QStringLiteral("/escolhida.wav");
    loop.advance(30000);
    ASSERT_EQ(filesIn(drop), QStringList{});

    put(drop, QStringLiteral("seguinte.wav"));
    loop.advance(41000);
    EXPECT_EQ(played().back(), playing(QStringLiteral("seguinte.wav")));
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso, kEfetuando, kSucesso}));
    EXPECT_EQ(uncaught, QStringList{});
}

TEST_F(Rotation, AMissingMessageFolderIsMadeAgainOrTheSwapWaits) {
    put(drop, QStringLiteral("promo.wav"));
    QDir(messages).removeRecursively();
    files.makeFolderFails = true;
    loop.advance(2 * 30000);
    const QString refused = QStringLiteral(
                                "A pasta de mensagens %1 não existe e não pôde ser criada; a "
                                "troca fica para a próxima verificação.")
                                .arg(messages);
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, refused, kEfetuando}));
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("promo.wav")});
    EXPECT_TRUE(rotation.tVerificaArquivo().enabled());

    files.makeFolderFails = false;
    loop.advance(30000);
    EXPECT_EQ(log.lines.mid(3),
              (QStringList{kEfetuando,
                           QStringLiteral("A pasta de mensagens %1 não existia e foi criada "
                                          "novamente.")
                               .arg(messages),
                           kErroAntigo, kSucesso}));
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("promo.wav")});
    EXPECT_EQ(uncaught, QStringList{});
}

TEST_F(Rotation, ADropFolderThatIsTheMessageFolderIsRefusedOnce) {
    state.settings.PathAudio = messages;
    loop.advance(2 * 30000);
    // The message on air chosen with the browse button names the same folder.
    state.settings.PathAudio = messages + QStringLiteral("/espera.wav");
    loop.advance(30000);
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("A pasta de reposição não pode ser a pasta de "
                                                    "mensagens (%1); nenhum arquivo foi trocado.")
                                         .arg(messages)});
    EXPECT_EQ(filesIn(messages), kEspera);
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_TRUE(rotation.tVerificaArquivo().enabled());
}

TEST_F(Rotation, AFileStillBeingWrittenWaitsForTheNextCheckWithTheFilesBehindIt) {
    put(drop, QStringLiteral("a-gravando.wav"));
    put(drop, QStringLiteral("b-pronta.wav"));
    files.msSinceChange[QStringLiteral("a-gravando.wav")] = 400;
    loop.advance(30000);
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("O arquivo a-gravando.wav ainda está sendo "
                                                    "gravado; a troca fica para a próxima "
                                                    "verificação.")});
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(filesIn(drop),
              (QStringList{QStringLiteral("a-gravando.wav"), QStringLiteral("b-pronta.wav")}));

    files.msSinceChange.clear();
    loop.advance(30000);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("a-gravando.wav"))});
}

// The failures the swap reports and goes on from.
struct SwapFailure {
    const char* name;
    QStringList undeletable;
    bool playFails;
    QStringList lines;
    QStringList messagesAfter;
    QStringList dropAfter;
};

void PrintTo(const SwapFailure& c, std::ostream* os) {
    *os << c.name;
}

class RotationSwapFailure : public Rotation, public ::testing::WithParamInterface<SwapFailure> {};

TEST_P(RotationSwapFailure, IsReportedAndTheSwapGoesOn) {
    const SwapFailure& c = GetParam();
    files.undeletable = c.undeletable;
    player.playFails = c.playFails;
    put(drop, QStringLiteral("promo.wav"));
    loop.advance(30000);
    EXPECT_EQ(log.lines, c.lines);
    EXPECT_EQ(filesIn(messages), c.messagesAfter);
    EXPECT_EQ(filesIn(drop), c.dropAfter);
    EXPECT_EQ(stored(QStringLiteral("ArquivoAtual")), QStringLiteral("promo.wav"));
    EXPECT_EQ(state.onAir.CurrentAudioFile, messages + QStringLiteral("/promo.wav"));
    EXPECT_TRUE(rotation.tLimpaVar().enabled());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RotationSwapFailure,
    ::testing::Values(
        SwapFailure{"OldMessageUndeletable",
                    {QStringLiteral("espera.wav")},
                    false,
                    {kEfetuando, kErroAntigo, kSucesso},
                    {QStringLiteral("espera.wav"), QStringLiteral("promo.wav")},
                    {}},
        SwapFailure{
            "DroppedFileUndeletable",
            {QStringLiteral("promo.wav")},
            false,
            {kEfetuando, QStringLiteral("Erro ao deletar da pasta de reposição."), kSucesso},
            {QStringLiteral("promo.wav")},
            {QStringLiteral("promo.wav")}},
        SwapFailure{"NewMessageDoesNotStart",
                    {},
                    true,
                    {kEfetuando, kSucesso, QStringLiteral("Erro ao reproduzir pela troca")},
                    {QStringLiteral("promo.wav")},
                    {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Rotation, AStoreThatRefusesTheHistoryDoesNotStopTheSwapHalfway) {
    registry.refused = {QStringLiteral("ArquivoAtual")};
    put(drop, QStringLiteral("promo.wav"));
    loop.advance(30000);
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_TRUE(rotation.tLimpaVar().enabled());
    EXPECT_EQ(uncaught, QStringList{QStringLiteral("Failed to set data for 'ArquivoAtual'")});
}

}  // namespace
