#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include <utility>
#include <vector>

#include "FakeFolderWatch.h"
#include "audio/HoldChannel.h"
#include "config/SqliteRegistry.h"
#include "config/Values.h"
#include "core/LocaleFormats.h"
#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "core/VirtualEventLoop.h"
#include "mail/MailNotices.h"
#include "rotation/MessageRotation.h"
#include "support/FakeClock.h"
#include "support/FakeFiles.h"
#include "support/FakeWaveControl.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

const QString kEfetuando = QStringLiteral("Efetuando troca de arquivo de áudio.");
const QString kSucesso = QStringLiteral("Troca de arquivo de áudio efetuada com sucesso.");
const QString kErroAntigo = QStringLiteral("Erro ao deletar arquivo antigo.");
const QString kErroReposicao = QStringLiteral("Erro ao deletar da pasta de reposição.");

QString ignored(const QString& name) {
    return QStringLiteral(
               "O arquivo %1 não é uma mensagem (só vão ao ar arquivos terminados em "
               "\".wav\" ou \".mp3\") e foi movido para a pasta "
               "\"Ignorados\" da pasta de reposição.")
        .arg(name);
}

QString hidden(const QString& name) {
    return QStringLiteral(
               "O arquivo %1 está oculto (o nome começa com ponto) e não vai ao ar; renomeie-o "
               "sem o ponto inicial para que ele possa ir ao ar.")
        .arg(name);
}

QString stillWritten(const QString& name) {
    return QStringLiteral(
               "O arquivo %1 ainda está sendo gravado; a troca fica para a próxima verificação.")
        .arg(name);
}

// The store, with every write of a value recorded in order; a value can be
// refused as a read-only store would, and then nothing of that write lands.
class RecordingRegistry final : public Registry {
public:
    explicit RecordingRegistry(Registry& store) : store_(store) {}
    bool keyExists(Root root, const QString& path) override { return store_.keyExists(root, path); }
    bool createKey(Root root, const QString& path) override { return store_.createKey(root, path); }
    std::optional<RegValue> value(Root root, const QString& path, const QString& name) override {
        return store_.value(root, path, name);
    }
    bool setValue(Root root, const QString& path, const QString& name, const RegValue& v) override {
        return setValues(root, path, {{name, v}});
    }
    bool setValues(Root root, const QString& path,
                   const QList<std::pair<QString, RegValue>>& values) override {
        for (const auto& [name, v] : values) {
            if (refused.contains(name))
                return false;
        }
        for (const auto& [name, v] : values)
            writes << name + QLatin1Char('=') + v.text;
        ++changes;
        return store_.setValues(root, path, values);
    }
    QStringList writes;
    QStringList refused;
    int changes = 0;

private:
    Registry& store_;
};

QString received(const QString& name, int seconds) {
    return QStringLiteral("O arquivo %1 foi recebido e vai ao ar em cerca de %2 segundos.")
        .arg(name)
        .arg(seconds);
}

// Status lines with the virtual time they were written at. The line that
// greets a new message goes apart, into `received`, so that the lines of a
// check read as they do without it; its own tests read it there.
class TimedLog final : public MessageLog {
public:
    explicit TimedLog(const VirtualEventLoop& loop) : loop_(loop) {}
    bool write(const QString& message) noexcept override {
        if (message.contains(QStringLiteral(" foi recebido e vai ao ar em cerca de "))) {
            received << message;
            receivedAt.push_back(loop_.now());
            return false;
        }
        lines << message;
        at.push_back(loop_.now());
        return false;
    }
    QStringList lines;
    std::vector<std::int64_t> at;
    QStringList received;
    std::vector<std::int64_t> receivedAt;

private:
    const VirtualEventLoop& loop_;
};

// A running program with the channel on air: "espera.wav" plays from the
// message folder, and the drop folder is empty. The program lives in app/,
// the user's home is home/; no file operation reaches outside the test's
// folder.
class Rotation : public ::testing::Test {
public:
    Rotation() {
        paths.appDir = tmp.path() + QStringLiteral("/app/");
        paths.executablePath = paths.appDir + QStringLiteral("espera");
        paths.homeFolder = tmp.path() + QStringLiteral("/home");
        paths.defaultDropFolder = tmp.path() + QStringLiteral("/drop/");
        drop = tmp.path() + QStringLiteral("/drop");
        messages = paths.messageFolder();
        QDir().mkpath(drop);
        QDir().mkpath(messages);
        QDir().mkpath(paths.homeFolder);
        files.confinedTo = tmp.path();
        store.createKey(Root::LocalMachine, kConfigKey);
        store.setValue(Root::LocalMachine, kConfigKey, QStringLiteral("DataAtual"),
                       RegValue::String(QStringLiteral("01/12/2026-08:00:00")));
        state.settings.dropFolder = drop;
        state.channel.active = true;
        loop.setUncaughtHandler([this](const std::exception& e) { uncaught << ErrorText(e); });
        mail.send = [this](MailNotices::Type) { ++notices; };
        onAir(QStringLiteral("espera.wav"));
        rotation.pointListingAt(state.settings.dropFolder);  // as the start-up does
    }

    // A file whose content names where it came from.
    void put(const QString& folder, const QString& name, const QByteArray& extra = {}) {
        QFile f(folder + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
        f.write((QFileInfo(folder).fileName() + QLatin1Char(':') + name).toUtf8() + extra);
    }
    void onAir(const QString& name) {
        put(messages, name);
        state.onAir.file = messages + QLatin1Char('/') + name;
        player.play(state.onAir.file);
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
    QStringList played() const { return player.calls.filter(QStringLiteral("play ")); }
    QString playing(const QString& name) const {
        return QStringLiteral("play ") + messages + QLatin1Char('/') + name;
    }
    // The first check after a file arrives only looks at it; the look at
    // the end of the settle that follows takes it.
    void checkAndSettle() {
        loop.advance(MessageRotation::kCheckIntervalMs + MessageRotation::kSettleMs);
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
    std::vector<MessageOnAir> announced;  // the message on air at each onAirChanged
    FakeFileOperations files;
    FakeAudioProbe probe;
    FakeFolderWatch folderWatch;
    int notices = 0;
    QStringList uncaught;
    // When the swap's pause began (true) and ended (false).
    std::vector<std::pair<std::int64_t, bool>> pauses;
    void paused(bool on) { pauses.emplace_back(loop.now(), on); }
    MessageRotation rotation{{.loop = loop,
                              .registry = registry,
                              .clock = clock,
                              .formats = formats,
                              .swap = state.swap,
                              .onAir = state.onAir,
                              .state = state,
                              .player = player,
                              .log = log,
                              .paths = paths,
                              .files = files,
                              .probe = probe,
                              .onAirChanged = [this] { announced.push_back(state.onAir); },
                              .onSwapPause = [this](bool on) { paused(on); },
                              .watch = &folderWatch},
                             [this] { mail.messageSwapped(); }};
};

TEST_F(Rotation, TheRoadOfOneMessageChange) {
    mail.setEnabled(true);
    mail.setOnSwap(true);
    clock.stepMs = 1000;  // a second clock read is a second later
    put(drop, QStringLiteral("promo.wav"));
    std::vector<std::pair<std::int64_t, QString>> playerAt;
    player.onCall = [&](const QString& call) { playerAt.emplace_back(loop.now(), call); };

    // 1-2. The check at 30 s sees promo.wav for the first time and says
    // so; the look 2 s later finds it as it was, so it is not being written
    // any more.
    loop.advance(31999);
    EXPECT_TRUE(log.lines.isEmpty());
    EXPECT_EQ(log.received, QStringList{received(QStringLiteral("promo.wav"), 6)});
    EXPECT_EQ(log.receivedAt, std::vector<std::int64_t>{30000});
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("promo.wav")});
    loop.advance(1);

    // 3. The message was playing: suspended, stopped, 3000 ms of the pause
    // timer and 750 ms; 4. files exchanged; 5. the new message starts after
    // 250 ms.
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(log.at, (std::vector<std::int64_t>{32000, 36000}));
    EXPECT_EQ(playerAt,
              (std::vector<std::pair<std::int64_t, QString>>{
                  {32000, QStringLiteral("stop")}, {36000, playing(QStringLiteral("promo.wav"))}}));
    EXPECT_EQ(loop.pausedMs(), 750 + 250);
    // The line's pause, as its state is told: from the stop to the new start.
    EXPECT_EQ(pauses, (std::vector<std::pair<std::int64_t, bool>>{{32000, true}, {36000, false}}));
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("promo.wav")});
    EXPECT_EQ(contentOf(messages + QStringLiteral("/promo.wav")), QStringLiteral("drop:promo.wav"));
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_EQ(state.onAir.file, messages + QStringLiteral("/promo.wav"));
    // The new name is made durable in the message folder before the history
    // says it is on air.
    EXPECT_TRUE(files.calls.contains(QStringLiteral("syncFolder Audio")));

    // The history, written in its order as one change, and read back into
    // the message on air.
    EXPECT_EQ(registry.writes,
              (QStringList{QStringLiteral("ArquivoAtual=promo.wav"),
                           QStringLiteral("ArquivoAnterior=espera.wav"),
                           QStringLiteral("DataAnteriorEntra=01/12/2026-08:00:00"),
                           QStringLiteral("DataAtual=10/12/2026-14:05:33"),
                           QStringLiteral("DataAnteriorSai=10/12/2026-14:05:34")}));
    EXPECT_EQ(registry.changes, 1);
    ASSERT_FALSE(announced.empty());
    for (const MessageOnAir& shown : {state.onAir, announced.back()}) {
        EXPECT_EQ(shown.file, messages + QStringLiteral("/promo.wav"));
        EXPECT_EQ(shown.history.previousFile, QStringLiteral("espera.wav"));
        EXPECT_EQ(shown.history.since, QStringLiteral("10/12/2026-14:05:33"));
        EXPECT_EQ(shown.history.previousSince, QStringLiteral("01/12/2026-08:00:00"));
        EXPECT_EQ(shown.history.previousUntil, QStringLiteral("10/12/2026-14:05:34"));
    }

    EXPECT_TRUE(state.swap.replaySuspended);
    EXPECT_TRUE(state.swap.pauseActive);
    EXPECT_FALSE(rotation.checkTimer().enabled());
    EXPECT_FALSE(rotation.transaction().pauseTimer().enabled());
    EXPECT_TRUE(rotation.resumeTimer().enabled());
    EXPECT_TRUE(mail.swapNoticeTimer().enabled());

    // 6. The swap notice a second later.
    loop.advance(999);
    EXPECT_EQ(notices, 0);
    loop.advance(1);
    EXPECT_EQ(notices, 1);
    EXPECT_FALSE(mail.swapNoticeTimer().enabled());

    // 7. 7000 ms after the check the replay is allowed and the watch resumes;
    // its next check comes 30 s later.
    loop.advance(43000 - 1 - loop.now());
    EXPECT_TRUE(state.swap.replaySuspended);
    loop.advance(1);
    EXPECT_FALSE(state.swap.replaySuspended);
    EXPECT_TRUE(rotation.checkTimer().enabled());
    put(drop, QStringLiteral("leia-me.txt"));
    loop.advance(30000);
    EXPECT_EQ(log.lines.size(), 2);  // seen for the first time
    loop.advance(MessageRotation::kSettleMs);
    EXPECT_EQ(log.at.back(), 75000);
    EXPECT_EQ(log.received.size(), 1);  // only messages are greeted
    EXPECT_EQ(notices, 1);
}

const QStringList kOldMessageOnly{QStringLiteral("espera.wav")};
const QStringList kNone{};

// The check that finds the drop folder's files as the previous one saw them.
// By default the channel is on air with espera.wav playing, and the check
// finds nothing to do.
struct EdgeCase {
    const char* name = "";
    QStringList dropped{};
    QStringList onAirBefore = kOldMessageOnly;  // message folder; empty: nothing on air
    bool channelActive = true;
    bool playing = true;
    QStringList lines{};
    QStringList messagesAfter = kOldMessageOnly;
    QStringList droppedAfter{};
    QStringList ignoredAfter{};                // the drop folder's "Ignorados"
    QString started{};                         // the file PlayFile was given, if any
    std::optional<QString> arquivoAnterior{};  // nothing: no history written
    bool suspended = false;
    bool watchEnabled = true;
    bool resumeArmed = true;
    int pausedMs = 0;
};

void PrintTo(const EdgeCase& c, std::ostream* os) {
    *os << c.name;
}

class RotationEdge : public Rotation, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(RotationEdge, OneCheck) {
    const EdgeCase& c = GetParam();
    QFile::remove(state.onAir.file);
    state.onAir.file.clear();
    player.stop();
    for (const QString& name : c.onAirBefore)
        onAir(name);
    if (!c.playing)
        player.stop();
    player.calls.clear();
    for (const QString& name : c.dropped)
        put(drop, name);
    state.channel.active = c.channelActive;

    // The first check only looks; the look after the settle acts.
    loop.advance(30000);
    EXPECT_EQ(log.lines, QStringList{});
    EXPECT_EQ(filesIn(drop).size(), c.dropped.size());
    loop.advance(MessageRotation::kSettleMs);

    EXPECT_EQ(log.lines, c.lines);
    EXPECT_EQ(filesIn(messages), c.messagesAfter);
    EXPECT_EQ(filesIn(drop), c.droppedAfter);
    EXPECT_EQ(filesIn(drop + QStringLiteral("/Ignorados")), c.ignoredAfter);
    if (c.started.isEmpty()) {
        EXPECT_EQ(played(), QStringList{});
    } else {
        EXPECT_EQ(played(), QStringList{playing(c.started)});
        // The copy took the place of the old file, whatever its name.
        EXPECT_EQ(contentOf(messages + QLatin1Char('/') + c.started),
                  QStringLiteral("drop:") + c.started);
        EXPECT_EQ(player.calls.contains(QStringLiteral("stop")), c.playing);
    }
    if (c.arquivoAnterior) {
        EXPECT_EQ(stored(QStringLiteral("ArquivoAtual")), c.started);
        EXPECT_EQ(stored(QStringLiteral("ArquivoAnterior")), *c.arquivoAnterior);
    } else {
        EXPECT_EQ(registry.writes, QStringList{});
    }
    EXPECT_EQ(state.swap.replaySuspended, c.suspended);
    EXPECT_EQ(rotation.checkTimer().enabled(), c.watchEnabled);
    EXPECT_EQ(rotation.resumeTimer().enabled(), c.resumeArmed);
    EXPECT_EQ(loop.pausedMs(), c.pausedMs);
    EXPECT_EQ(uncaught, QStringList{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RotationEdge,
    ::testing::Values(
        EdgeCase{.name = "EmptyDropFolder"},
        // Extensions match whatever their letter case.
        EdgeCase{.name = "UpperCaseExtension",
                 .dropped = {QStringLiteral("PROMO.WAV")},
                 .lines = {kEfetuando, kSucesso},
                 .messagesAfter = {QStringLiteral("PROMO.WAV")},
                 .started = QStringLiteral("PROMO.WAV"),
                 .arquivoAnterior = QStringLiteral("espera.wav"),
                 .suspended = true,
                 .watchEnabled = false,
                 .pausedMs = 1000},
        EdgeCase{.name = "MixedCaseExtension",
                 .dropped = {QStringLiteral("promo.Mp3")},
                 .lines = {kEfetuando, kSucesso},
                 .messagesAfter = {QStringLiteral("promo.Mp3")},
                 .started = QStringLiteral("promo.Mp3"),
                 .arquivoAnterior = QStringLiteral("espera.wav"),
                 .suspended = true,
                 .watchEnabled = false,
                 .pausedMs = 1000},
        // Not a message: set aside where the operator finds it, with the rule
        // that makes it one. Setting aside arms nothing; the check before it,
        // which found nothing to take, armed the wait.
        EdgeCase{.name = "NoExtension",
                 .dropped = {QStringLiteral("leia-me")},
                 .lines = {ignored(QStringLiteral("leia-me"))},
                 .ignoredAfter = {QStringLiteral("leia-me")}},
        EdgeCase{
            .name = "OnlyTheFirstFileOfTheListing",
            .dropped = {QStringLiteral("b.wav"), QStringLiteral("A.mp3"), QStringLiteral("c.txt")},
            .lines = {kEfetuando, kSucesso},
            .messagesAfter = {QStringLiteral("A.mp3")},
            .droppedAfter = {QStringLiteral("b.wav"), QStringLiteral("c.txt")},
            .started = QStringLiteral("A.mp3"),
            .arquivoAnterior = QStringLiteral("espera.wav"),
            .suspended = true,
            .watchEnabled = false,
            .pausedMs = 1000},
        // Everything that is not a message ahead of the first message goes
        // aside in one check; the message waits for the next.
        EdgeCase{.name = "NotMessagesAheadOfAMessageGoAsideTogether",
                 .dropped = {QStringLiteral("a.txt"), QStringLiteral("B.PDF"),
                             QStringLiteral("c.wav"), QStringLiteral("d.txt")},
                 .lines = {ignored(QStringLiteral("a.txt")), ignored(QStringLiteral("B.PDF"))},
                 .droppedAfter = {QStringLiteral("c.wav"), QStringLiteral("d.txt")},
                 .ignoredAfter = {QStringLiteral("B.PDF"), QStringLiteral("a.txt")}},
        EdgeCase{.name = "SameNameAsTheMessageOnAir",
                 .dropped = kOldMessageOnly,
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
        // Nothing on air: nothing to delete, and no error said for it.
        EdgeCase{.name = "EmptyMessageFolder",
                 .dropped = {QStringLiteral("promo.wav")},
                 .onAirBefore = kNone,
                 .playing = false,
                 .lines = {kEfetuando, kSucesso},
                 .messagesAfter = {QStringLiteral("promo.wav")},
                 .started = QStringLiteral("promo.wav"),
                 .arquivoAnterior = QString(),
                 .watchEnabled = false,
                 .pausedMs = 250},
        EdgeCase{.name = "ChannelNotOnAir",
                 .dropped = {QStringLiteral("promo.wav"), QStringLiteral("leia-me")},
                 .channelActive = false,
                 .droppedAfter = {QStringLiteral("leia-me"), QStringLiteral("promo.wav")},
                 .resumeArmed = false}),
    [](const auto& info) { return std::string(info.param.name); });

// Ten thousand files that are not messages ahead of one that is: all of them
// go aside in one check with one line, and the message goes on air at the
// check after.
TEST_F(Rotation, ABacklogOfFilesThatAreNotMessagesIsClearedInOneCheck) {
    for (int i = 0; i < 10000; ++i)
        put(drop, QStringLiteral("a-%1.txt").arg(i, 5, 10, QLatin1Char('0')));
    put(drop, QStringLiteral("b-promo.wav"));
    checkAndSettle();
    EXPECT_EQ(
        log.lines,
        (QStringList{QStringLiteral(
            "10000 arquivos que não são mensagens (só vão ao ar "
            "arquivos terminados em \".wav\" ou \".mp3\"), de a-00000.txt a a-09999.txt, foram "
            "movidos para a pasta \"Ignorados\" da pasta de "
            "reposição.")}));
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("b-promo.wav")});
    EXPECT_EQ(filesIn(drop + QStringLiteral("/Ignorados")).size(), 10000);
    loop.advance(30000);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("b-promo.wav"))});
}

TEST_F(Rotation, SeveralFilesGoOnAirOneCheckEachInListingOrder) {
    for (const char* name : {"c.wav", "A.mp3", "b.wav"})
        put(drop, QString::fromLatin1(name));
    // The first goes on air after the settle; each swap takes 4 s, the
    // watch resumes 7 s later, the next check comes 30 s after that; the
    // files behind stood still all along.
    loop.advance(32000 + 2 * 41000 + 4000);
    EXPECT_EQ(played(),
              (QStringList{playing(QStringLiteral("A.mp3")), playing(QStringLiteral("b.wav")),
                           playing(QStringLiteral("c.wav"))}));
    EXPECT_EQ(log.at, (std::vector<std::int64_t>{32000, 36000, 73000, 77000, 114000, 118000}));
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("c.wav")});
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_EQ(stored(QStringLiteral("ArquivoAnterior")), QStringLiteral("b.wav"));
}

TEST_F(Rotation, AReadOnlyDropGoesOnAirAsAWritableCopy) {
    put(drop, QStringLiteral("promo.wav"));
    QFile::setPermissions(drop + QStringLiteral("/promo.wav"),
                          QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    checkAndSettle();
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_TRUE(QFileInfo(messages + QStringLiteral("/promo.wav")).permissions() &
                QFileDevice::WriteOwner);
}

// What arrives while the swap stops the player and waits for the pause
// timer: the end of the old file (handled by the real replay loop) and a
// removal notice of the hardware, which is ignored while the replay is
// suspended.
TEST_F(Rotation, AnEndOfFileAndARemovalDuringTheStopLoopChangeNothing) {
    FakeWaveControl monitor, lister;
    HoldChannel channel({player, monitor, lister}, state.channel, state, log, loop, nullptr);
    player.stopsToStop = 3;
    std::optional<bool> removalSawSuspended;
    std::optional<bool> watchDuringSwap;
    bool posted = false;
    player.onCall = [&](const QString& call) {
        if (call != QStringLiteral("stop") || std::exchange(posted, true))
            return;
        loop.post([&] { player.finishFile(); });
        loop.post([&] {
            removalSawSuspended = state.swap.replaySuspended;
            watchDuringSwap = rotation.checkTimer().enabled();
        });
    };
    put(drop, QStringLiteral("promo.wav"));

    checkAndSettle();

    EXPECT_EQ(removalSawSuspended, true);
    EXPECT_EQ(watchDuringSwap, false);
    // The old message was not restarted; the stop loop ended once the file
    // had ended, and the swap went its usual way.
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(player.calls.count(QStringLiteral("stop")), 1);
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(loop.now(), 36000);
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("promo.wav")});
}

// A player that stops only at the third request, each answered by an event
// of the sound server, as an asynchronous stop would be.
TEST_F(Rotation, TheStopLoopRepeatsStopPlayUntilThePlayerHasStopped) {
    player.stopsToStop = 3;
    player.onCall = [&](const QString& call) {
        if (call == QStringLiteral("stop"))
            loop.post([] {});
    };
    put(drop, QStringLiteral("promo.wav"));
    checkAndSettle();
    EXPECT_EQ(player.calls.count(QStringLiteral("stop")), 3);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(log.at.back(), 36000);
}

// A message shorter than the suspension ends before the replay is allowed:
// the swap started it on purpose, so it goes on at once rather than wait for
// the suspension to lift, and a long one is left alone.
TEST_F(Rotation, AMessageThatEndsWhileSuspendedGoesOnAtOnce) {
    FakeWaveControl monitor, lister;
    HoldChannel channel({player, monitor, lister}, state.channel, state, log, loop, nullptr);
    put(drop, QStringLiteral("curta.wav"));
    checkAndSettle();
    ASSERT_EQ(played(), QStringList{playing(QStringLiteral("curta.wav"))});

    loop.advance(500);
    player.finishFile();
    EXPECT_EQ(played(), (QStringList{playing(QStringLiteral("curta.wav")),
                                     playing(QStringLiteral("curta.wav"))}));
    EXPECT_TRUE(player.playing());
    loop.advance(43000 - loop.now());
    EXPECT_EQ(played().size(), 2);

    put(drop, QStringLiteral("longa.wav"));
    loop.advance(73000 + MessageRotation::kSettleMs + 4000 + 7000 - loop.now());
    EXPECT_EQ(played().back(), playing(QStringLiteral("longa.wav")));
    EXPECT_EQ(played().count(playing(QStringLiteral("longa.wav"))), 1);
    EXPECT_FALSE(state.swap.replaySuspended);
}

// A copy that fails leaves everything as it was: the old message on air and
// in its folder, the dropped file in the drop folder, no history, nothing
// stopped. A full disk may clear: the next check tries again, without a
// second line while the failure lasts.
TEST_F(Rotation, ACopyThatFailsStopsNothingAndIsTriedAgain) {
    files.copyFails = true;
    put(drop, QStringLiteral("promo.wav"));

    checkAndSettle();
    loop.advance(30000);

    const QString failed = QStringLiteral(
        "Erro ao copiar o arquivo de áudio promo.wav; a mensagem atual continua no ar.");
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, failed}));
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(filesIn(messages), kOldMessageOnly);
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("promo.wav")});
    EXPECT_EQ(registry.writes, QStringList{});

    files.copyFails = false;
    loop.advance(30000);
    EXPECT_EQ(log.lines.back(), kSucesso);
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("promo.wav")});
}

// The copy is on the disk before it takes the message's name, so a power
// cut never leaves an empty message on air; a copy that cannot be written to
// the disk is a failed copy, and leaves nothing behind.
TEST_F(Rotation, TheCopyReachesTheDiskBeforeItTakesTheMessagesName) {
    put(drop, QStringLiteral("promo.wav"));
    files.flushFails = true;
    checkAndSettle();
    EXPECT_EQ(log.lines, (QStringList{kEfetuando,
                                      QStringLiteral("Erro ao copiar o arquivo de áudio promo.wav; "
                                                     "a mensagem atual continua no ar.")}));
    EXPECT_EQ(filesIn(messages), kOldMessageOnly);
    EXPECT_EQ(player.calls, QStringList{});

    files.flushFails = false;
    files.calls.clear();
    loop.advance(30000);
    const QStringList staged = files.calls.filter(QStringLiteral(".nova-mensagem.tmp"));
    EXPECT_EQ(staged, (QStringList{QStringLiteral("copy promo.wav .nova-mensagem.tmp"),
                                   QStringLiteral("flushFile .nova-mensagem.tmp"),
                                   QStringLiteral("rename .nova-mensagem.tmp promo.wav")}));
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
}

// What cannot be known before the message stops: the staged copy cannot be
// renamed into place. The old message starts again, the file is reported
// once and passed over until it changes, so the message is not cut again at
// every check.
TEST_F(Rotation, AStagedCopyThatCannotBeRenamedIntoPlaceIsPassedOverUntilItChanges) {
    files.unrenamable = {QStringLiteral(".nova-mensagem.tmp")};
    put(drop, QStringLiteral("promo.wav"));
    checkAndSettle();
    EXPECT_EQ(
        log.lines,
        (QStringList{kEfetuando,
                     QStringLiteral("O arquivo de áudio promo.wav não pôde ser posto na pasta "
                                    "de mensagens (Permission denied); a mensagem atual "
                                    "continua no ar e o arquivo fica na pasta de reposição "
                                    "até ser alterado.")}));
    EXPECT_EQ(player.calls,
              (QStringList{QStringLiteral("stop"), playing(QStringLiteral("espera.wav"))}));
    EXPECT_EQ(filesIn(messages), kOldMessageOnly);
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("promo.wav")});
    EXPECT_EQ(registry.writes, QStringList{});

    files.unrenamable.clear();
    loop.advance(7000 + 3 * 30000);
    EXPECT_EQ(log.lines.size(), 2);
    EXPECT_EQ(player.calls.size(), 2);

    // Changed (written again): taken like a new file.
    put(drop, QStringLiteral("promo.wav"), "v2");
    checkAndSettle();
    EXPECT_EQ(log.lines.back(), kSucesso);
    EXPECT_EQ(contentOf(messages + QStringLiteral("/promo.wav")),
              QStringLiteral("drop:promo.wavv2"));
}

// Checked before anything stops: a name the message folder's file system
// cannot hold, a message folder that takes no file. Neither cuts the message.
TEST_F(Rotation, WhatTheMessageFolderCannotTakeIsKnownBeforeTheMessageStops) {
    files.longestNameInBytes = 12;
    put(drop, QStringLiteral("a-nome-muito-longo.wav"));
    put(drop, QStringLiteral("b-curto.wav"));
    checkAndSettle();
    EXPECT_EQ(
        log.lines,
        (QStringList{kEfetuando,
                     QStringLiteral("O nome do arquivo a-nome-muito-longo.wav é longo demais "
                                    "para a pasta de mensagens (22 bytes; o máximo é 12). Ele "
                                    "fica na pasta de reposição, fora do ar, até ser "
                                    "renomeado.")}));
    EXPECT_EQ(player.calls, QStringList{});

    files.readOnly = {messages};
    loop.advance(3 * 30000);
    const QString readOnly = QStringLiteral(
                                 "A pasta de mensagens %1 não aceita gravação (Read-only file "
                                 "system); a troca fica para a próxima verificação e a mensagem "
                                 "atual continua no ar.")
                                 .arg(messages);
    EXPECT_EQ(log.lines.mid(2), QStringList{readOnly});
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(filesIn(drop), (QStringList{QStringLiteral("a-nome-muito-longo.wav"),
                                          QStringLiteral("b-curto.wav")}));

    files.readOnly.clear();
    loop.advance(30000);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("b-curto.wav"))});
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("a-nome-muito-longo.wav")});
}

// A file that changes while it is taken is not the file that was copied:
// during the copy, the copy is discarded before anything stops; during the
// swap, the copy goes on air and the changed file stays to be taken later.
TEST_F(Rotation, AFileThatChangesWhileItIsTakenIsNeverLost) {
    put(drop, QStringLiteral("promo.wav"));
    int copies = 0;
    files.duringCopy = [&](const QString& from) {
        if (++copies == 1)
            put(drop, QFileInfo(from).fileName(), "mais");
    };
    checkAndSettle();
    EXPECT_EQ(log.lines,
              (QStringList{kEfetuando, QStringLiteral("O arquivo promo.wav mudou durante a cópia e "
                                                      "fica na pasta de reposição; a troca fica "
                                                      "para a próxima verificação.")}));
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(filesIn(messages), kOldMessageOnly);  // no staged copy left behind

    // It changed since the check before: it waits one more check, and then
    // goes on air; while the player stops, the operator writes it once more.
    loop.advance(30000);
    EXPECT_EQ(log.lines.mid(2), QStringList{stillWritten(QStringLiteral("promo.wav"))});
    player.onCall = [&](const QString& call) {
        if (call == QStringLiteral("stop"))
            put(drop, QStringLiteral("promo.wav"), "final");
    };
    loop.advance(30000);
    EXPECT_EQ(log.lines.mid(3),
              (QStringList{kEfetuando,
                           QStringLiteral("O arquivo promo.wav foi alterado durante a troca e fica "
                                          "na pasta de reposição."),
                           kSucesso}));
    EXPECT_EQ(contentOf(messages + QStringLiteral("/promo.wav")),
              QStringLiteral("drop:promo.wavmais"));
    EXPECT_EQ(contentOf(drop + QStringLiteral("/promo.wav")),
              QStringLiteral("drop:promo.wavfinal"));
    player.onCall = nullptr;
    loop.advance(7000 + 3 * 30000);
    EXPECT_EQ(contentOf(messages + QStringLiteral("/promo.wav")),
              QStringLiteral("drop:promo.wavfinal"));
    EXPECT_EQ(filesIn(drop), QStringList{});
}

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

    checkAndSettle();
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, c.line}));
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(filesIn(messages), kOldMessageOnly);
    EXPECT_TRUE(rotation.checkTimer().enabled());

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
        return;
    }
    // The broken file passed over is replaced by a playable one of the same
    // name (and another size): that one is taken.
    probe.undecodable.clear();
    put(drop, QStringLiteral("a-quebrado.wav"), "consertado");
    loop.advance(7000 + 3 * 30000);
    EXPECT_EQ(played().back(), playing(QStringLiteral("a-quebrado.wav")));
    EXPECT_EQ(contentOf(messages + QStringLiteral("/a-quebrado.wav")),
              QStringLiteral("drop:a-quebrado.wavconsertado"));
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

// What the player cannot play in real time never replaces the message on
// air: each goes to "Inválidos" with its reason.
TEST_F(Rotation, AMessageThePlayerCannotPlayInRealTimeIsSetAsideWithItsReason) {
    put(drop, QStringLiteral("a-1-hz.wav"));
    put(drop, QStringLiteral("b-uma-amostra.wav"));
    put(drop, QStringLiteral("c-boa.wav"));
    probe.verdicts = {{QStringLiteral("a-1-hz.wav"), AudioProbe::Verdict::BadRate},
                      {QStringLiteral("b-uma-amostra.wav"), AudioProbe::Verdict::TooShort}};
    loop.advance(3 * 30000);
    EXPECT_EQ(log.lines.filter(QStringLiteral("Inválidos")),
              (QStringList{QStringLiteral("O arquivo de áudio a-1-hz.wav tem uma taxa de "
                                          "amostragem fora da faixa de 8 a 192 kHz e foi movido "
                                          "para a pasta \"Inválidos\"; a mensagem atual continua "
                                          "no ar."),
                           QStringLiteral("O arquivo de áudio b-uma-amostra.wav dura menos de meio "
                                          "segundo e foi movido para a pasta \"Inválidos\"; a "
                                          "mensagem atual continua no ar.")}));
    EXPECT_EQ(filesIn(drop + QStringLiteral("/Inválidos")),
              (QStringList{QStringLiteral("a-1-hz.wav"), QStringLiteral("b-uma-amostra.wav")}));
    EXPECT_EQ(played(), QStringList{});
    loop.advance(30000);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("c-boa.wav"))});
}

// A copy that stalled halfway stands still, but its writer still holds it
// open: it is not judged broken, and the file behind it goes on air. Once
// the writer is done it goes on air in turn.
TEST_F(Rotation, AFileStillOpenForWritingIsNotJudged) {
    put(drop, QStringLiteral("a-parada.wav"));
    put(drop, QStringLiteral("b-pronta.wav"));
    files.writing = {QStringLiteral("a-parada.wav")};
    probe.undecodable = {QStringLiteral("a-parada.wav")};
    checkAndSettle();
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("b-pronta.wav"))});
    EXPECT_EQ(probe.probed, QStringList{QStringLiteral("b-pronta.wav")});
    loop.advance(7000 + 30000);
    EXPECT_EQ(log.lines.back(), stillWritten(QStringLiteral("a-parada.wav")));
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("a-parada.wav")});

    files.writing.clear();
    probe.undecodable.clear();
    put(drop, QStringLiteral("a-parada.wav"), "resto");
    loop.advance(2 * 30000);
    EXPECT_EQ(played().back(), playing(QStringLiteral("a-parada.wav")));
    EXPECT_EQ(contentOf(messages + QStringLiteral("/a-parada.wav")),
              QStringLiteral("drop:a-parada.wavresto"));
}

// A file set aside as unplayable that then changes (a copy that stalled with
// no way to tell, and then went on) is looked at again where it lies, once
// it stands still: whole, it goes on air from there; still broken, it stays,
// said once.
TEST_F(Rotation, AnUnplayableFileThatChangesIsLookedAtAgainWhereItLies) {
    const QString invalid = drop + QStringLiteral("/Inválidos");
    put(drop, QStringLiteral("parada.wav"));
    put(drop, QStringLiteral("quebrada.wav"));
    probe.undecodable = {QStringLiteral("parada.wav"), QStringLiteral("quebrada.wav")};
    loop.advance(3 * 30000);
    ASSERT_EQ(filesIn(invalid),
              (QStringList{QStringLiteral("parada.wav"), QStringLiteral("quebrada.wav")}));
    const int before = static_cast<int>(log.lines.size());

    // Both go on being written; then they stand still.
    probe.undecodable = {QStringLiteral("quebrada.wav")};
    put(invalid, QStringLiteral("parada.wav"), "resto");
    put(invalid, QStringLiteral("quebrada.wav"), "mais");
    loop.advance(2 * 30000);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("parada.wav"))});
    EXPECT_EQ(contentOf(messages + QStringLiteral("/parada.wav")),
              QStringLiteral("Inválidos:parada.wavresto"));
    EXPECT_EQ(filesIn(invalid), QStringList{QStringLiteral("quebrada.wav")});

    loop.advance(7000 + 3 * 30000);
    EXPECT_EQ(log.lines.mid(before).filter(QStringLiteral("quebrada.wav")),
              QStringList{QStringLiteral("O arquivo de áudio quebrada.wav da pasta \"Inválidos\" "
                                         "foi alterado, mas ainda não pode ir ao ar; ele fica "
                                         "lá.")});
    EXPECT_EQ(filesIn(invalid), QStringList{QStringLiteral("quebrada.wav")});
    EXPECT_EQ(played().size(), 1);
}

// A hidden file is never taken. One whose name reads as a message was most
// likely hidden by mistake: it is said once while it is there. A sync tool's
// or an editor's file passes in silence.
TEST_F(Rotation, AHiddenMessageIsSaidOnceAndSyncToolsFilesPassInSilence) {
    for (const char* name : {".promo.wav", ".promo.wav.Xa1b2C", "._promo.wav", ".~lock.promo.wav#",
                             ".syncthing.promo.wav.tmp", ".wav"})
        put(drop, QString::fromLatin1(name));
    loop.advance(4 * 30000);
    EXPECT_EQ(log.lines, QStringList{hidden(QStringLiteral(".promo.wav"))});
    EXPECT_EQ(filesIn(drop).size(), 6);
    EXPECT_EQ(player.calls, QStringList{});

    // Renamed by the operator: on air, and said again if it is hidden anew.
    QFile::rename(drop + QStringLiteral("/.promo.wav"), drop + QStringLiteral("/promo.wav"));
    loop.advance(2 * 30000);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    put(drop, QStringLiteral(".promo.wav"));
    loop.advance(7000 + 30000);
    EXPECT_EQ(log.lines.filter(QStringLiteral("oculto")).size(), 2);
}

// A name may hold a line break: every line it goes into stays one line, so
// no name can forge a line of the program's own.
TEST_F(Rotation, ANameWithALineBreakNeverBreaksALine) {
    const QString forged =
        QStringLiteral("\n11-12-2026 - 00:00:00 - Troca de arquivo de áudio efetuada com sucesso.");
    put(drop, QStringLiteral("a") + forged + QStringLiteral(".txt"));
    put(drop, QStringLiteral("b") + forged + QStringLiteral(".wav"));
    probe.undecodable = {QStringLiteral("b") + forged + QStringLiteral(".wav")};
    loop.advance(3 * 30000);
    const QString shown = QStringLiteral(
        "\\n11-12-2026 - 00:00:00 - Troca de arquivo de áudio efetuada com sucesso.");
    EXPECT_EQ(
        log.lines,
        (QStringList{ignored(QStringLiteral("a") + shown + QStringLiteral(".txt")), kEfetuando,
                     QStringLiteral("O arquivo de áudio b%1.wav não pôde ser lido e foi "
                                    "movido para a pasta \"Inválidos\"; a mensagem atual "
                                    "continua no ar.")
                         .arg(shown)}));
    EXPECT_EQ(log.received.size(), 1);
    for (const QString& line : log.lines + log.received)
        EXPECT_FALSE(line.contains(QLatin1Char('\n'))) << line.toStdString();
}

// A file that is not a message and cannot be moved aside is reported once and
// passed over; the message behind it still comes on air.
TEST_F(Rotation, AFileThatCannotBeSetAsideIsReportedOnceAndPassedOver) {
    files.unrenamable = {QStringLiteral("a-leia.txt")};
    put(drop, QStringLiteral("a-leia.txt"));
    put(drop, QStringLiteral("b-promo.wav"));
    checkAndSettle();
    loop.advance(30000);
    EXPECT_EQ(
        log.lines,
        (QStringList{
            QStringLiteral(
                "O arquivo a-leia.txt não é uma mensagem (só vão ao ar "
                "arquivos terminados em \".wav\" ou \".mp3\") e não pôde ser movido para a pasta "
                "\"Ignorados\": Permission denied. Ele fica na pasta de "
                "reposição, ignorado até ser alterado."),
            kEfetuando, kSucesso}));
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("a-leia.txt")});
}

// A dropped file that cannot be deleted after its swap is on air; it is not
// swapped in again and again, rewriting the history, while it stays as it is.
TEST_F(Rotation, ADroppedFileThatCannotBeDeletedGoesOnAirOnce) {
    files.undeletable = {QStringLiteral("promo.wav")};
    put(drop, QStringLiteral("promo.wav"));
    checkAndSettle();
    loop.advance(7000 + 3 * 30000);
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kErroReposicao,
                                      QStringLiteral("O arquivo promo.wav fica na pasta de "
                                                     "reposição e não volta ao ar até ser "
                                                     "alterado."),
                                      kSucesso}));
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(registry.changes, 1);
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("promo.wav")});
}

// A drop folder that takes no deletion (read-only): its file goes on air
// once, and after a restart too it is not swapped in again, which would cut
// the message and rewrite the history each time.
TEST_F(Rotation, AFileThatCannotBeDeletedIsNotSwappedInAgainAfterARestart) {
    files.undeletable = {QStringLiteral("promo.wav")};
    put(drop, QStringLiteral("promo.wav"));
    checkAndSettle();
    ASSERT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    loop.advance(7000);
    rotation.stopForShutdown();

    // The program starts again on the same folders and store.
    log.lines.clear();
    MessageRotation restarted{{.loop = loop,
                               .registry = registry,
                               .clock = clock,
                               .formats = formats,
                               .swap = state.swap,
                               .onAir = state.onAir,
                               .state = state,
                               .player = player,
                               .log = log,
                               .paths = paths,
                               .files = files,
                               .probe = probe,
                               .onAirChanged = {}},
                              {}};
    restarted.findMessageOnAir();
    EXPECT_EQ(state.onAir.file, messages + QStringLiteral("/promo.wav"));
    loop.advance(4 * 30000);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(registry.changes, 1);
    EXPECT_EQ(log.lines,
              QStringList{QStringLiteral("O arquivo promo.wav é igual à mensagem no ar e "
                                         "fica na pasta de reposição; nada foi "
                                         "trocado.")});
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("promo.wav")});
}

// A swap killed after the new message was renamed into place, before the
// history named it: the copy beside the old message is deleted at start
// rather than kept in "Ignorados", since the dropped file is still there and
// comes on air at a check. Killed after the history, before the dropped file
// was deleted: that file is the message on air, and goes without a swap.
TEST_F(Rotation, ASwapKilledHalfwayLeavesNoDuplicateBehind) {
    store.setValue(Root::LocalMachine, kConfigKey, QStringLiteral("ArquivoAtual"),
                   RegValue::String(QStringLiteral("espera.wav")));
    put(drop, QStringLiteral("promo.wav"));
    QFile::copy(drop + QStringLiteral("/promo.wav"), messages + QStringLiteral("/promo.wav"));
    rotation.findMessageOnAir();
    EXPECT_EQ(state.onAir.file, messages + QStringLiteral("/espera.wav"));
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("A cópia de promo.wav deixada na pasta de "
                                                    "mensagens por uma troca interrompida foi "
                                                    "apagada; o arquivo continua na pasta de "
                                                    "reposição.")});
    loop.advance(30000);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("promo.wav")});
    EXPECT_FALSE(QFileInfo::exists(messages + QStringLiteral("/Ignorados")));

    // The dropped file again, as a crash after the history leaves it.
    put(drop, QStringLiteral("promo.wav"));
    loop.advance(7000 + 2 * 30000);
    EXPECT_EQ(log.lines.back(), QStringLiteral("O arquivo promo.wav é igual à mensagem no ar e foi "
                                               "apagado da pasta de reposição; nada foi trocado."));
    EXPECT_EQ(played().size(), 1);
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("promo.wav")});
}

// The failures the swap reports and goes on from.
struct SwapFailure {
    const char* name;
    QStringList undeletable;
    bool playFails;
    QStringList lines;
    QStringList messagesAfter;
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
    checkAndSettle();
    EXPECT_EQ(log.lines, c.lines);
    EXPECT_EQ(filesIn(messages), c.messagesAfter);
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_EQ(stored(QStringLiteral("ArquivoAtual")), QStringLiteral("promo.wav"));
    EXPECT_EQ(state.onAir.file, messages + QStringLiteral("/promo.wav"));
    EXPECT_TRUE(rotation.resumeTimer().enabled());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RotationSwapFailure,
    ::testing::Values(SwapFailure{"OldMessageUndeletable",
                                  {QStringLiteral("espera.wav")},
                                  false,
                                  {kEfetuando, kErroAntigo, kSucesso},
                                  {QStringLiteral("espera.wav"), QStringLiteral("promo.wav")}},
                      SwapFailure{
                          "NewMessageDoesNotStart",
                          {},
                          true,
                          {kEfetuando, kSucesso, QStringLiteral("Erro ao reproduzir pela troca")},
                          {QStringLiteral("promo.wav")}}),
    [](const auto& info) { return std::string(info.param.name); });

// The history is one change: a store that refuses part of it keeps none of
// it, and does not stop the swap halfway.
TEST_F(Rotation, AStoreThatRefusesTheHistoryKeepsNoneOfItAndTheSwapGoesOn) {
    registry.refused = {QStringLiteral("DataAtual")};
    put(drop, QStringLiteral("promo.wav"));
    checkAndSettle();
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_EQ(stored(QStringLiteral("ArquivoAtual")), QStringLiteral("<missing>"));
    EXPECT_TRUE(rotation.resumeTimer().enabled());
    EXPECT_EQ(uncaught, QStringList{QStringLiteral("Failed to set data for 'ArquivoAtual'")});
}

// A file is taken only once its size, times and inode are what the look at
// the start of its settle saw. How long ago it changed, by any clock,
// decides nothing.
struct SettleCase {
    const char* name = "";
    std::function<void(Rotation&, const QString& file)> duringTheSettle{};
    std::int64_t timesFromNowS = -3600;  // the file's times, set before the first check
    bool taken = false;
};

void PrintTo(const SettleCase& c, std::ostream* os) {
    *os << c.name;
}

void setTimes(const QString& file, std::int64_t fromNowS) {
    const timespec t{.tv_sec = ::time(nullptr) + fromNowS, .tv_nsec = 0};
    const timespec both[2] = {t, t};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), both, 0), 0);
}

class RotationSettle : public Rotation, public ::testing::WithParamInterface<SettleCase> {};

TEST_P(RotationSettle, TakesOnlyWhatStoodStill) {
    const SettleCase& c = GetParam();
    const QString file = drop + QStringLiteral("/promo.wav");
    put(drop, QStringLiteral("promo.wav"));
    setTimes(file, c.timesFromNowS);
    loop.advance(30000);
    if (c.duringTheSettle)
        c.duringTheSettle(*this, file);
    loop.advance(MessageRotation::kSettleMs);
    if (c.taken) {
        EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
        return;
    }
    EXPECT_EQ(log.lines, QStringList{});
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("promo.wav")});
    // It goes on air once it has stood still for a whole settle.
    loop.advance(MessageRotation::kSettleMs - 1);
    EXPECT_EQ(player.calls, QStringList{});
    loop.advance(1);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RotationSettle,
    ::testing::Values(SettleCase{.name = "StoodStill", .taken = true},
                      // Times far ahead of the clock (a share whose clock runs ahead).
                      SettleCase{
                          .name = "TimesAheadOfTheClock", .timesFromNowS = 86400, .taken = true},
                      // A writer stalled for minutes on a network share, then going on.
                      SettleCase{.name = "GrewAfterAStall",
                                 .duringTheSettle =
                                     [](Rotation& r, const QString&) {
                                         r.put(r.drop, QStringLiteral("promo.wav"), "mais");
                                     },
                                 .taken = false},
                      // A copy that keeps the times (cp -p, rsync -t): size and times as
                      // before, only the change time tells.
                      SettleCase{.name = "RewrittenKeepingSizeAndTimes",
                                 .duringTheSettle =
                                     [](Rotation& r, const QString& file) {
                                         r.put(r.drop, QStringLiteral("promo.wav"));
                                         setTimes(file, -3600);
                                     },
                                 .taken = false},
                      // Another file put in its place with the same size and times.
                      SettleCase{.name = "ReplacedByAnotherFile",
                                 .duringTheSettle =
                                     [](Rotation& r, const QString& file) {
                                         r.put(r.tmp.path(), QStringLiteral("promo.wav"));
                                         setTimes(r.tmp.filePath(QStringLiteral("promo.wav")),
                                                  -3600);
                                         ASSERT_EQ(::rename(QFile::encodeName(r.tmp.filePath(
                                                                QStringLiteral("promo.wav"))),
                                                            QFile::encodeName(file)),
                                                   0);
                                     },
                                 .taken = false}),
    [](const auto& info) { return std::string(info.param.name); });

// A file still being written waits for a later check, but only itself: a
// log that some program appends to for good never holds back the message
// behind it, and goes aside once it stands still.
TEST_F(Rotation, AFileStillBeingWrittenHoldsNothingBehindIt) {
    put(drop, QStringLiteral("a-gravacao.log"));
    put(drop, QStringLiteral("b-promo.wav"));
    QByteArray logged;
    const auto writer = loop.createTimer(1500, [&] {
        logged += "linha\n";
        put(drop, QStringLiteral("a-gravacao.log"), logged);
    });
    writer->setEnabled(true);
    checkAndSettle();
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("b-promo.wav"))});
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("a-gravacao.log")});

    writer->setEnabled(false);
    loop.advance(7000 + 2 * 30000);
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_EQ(filesIn(drop + QStringLiteral("/Ignorados")),
              QStringList{QStringLiteral("a-gravacao.log")});
}

// Folders the watch never moves or deletes a file in: each is refused with
// one line, whatever name reaches it, and nothing in it is touched.
struct RefusedCase {
    const char* name;
    std::function<QString(Rotation&)> setting;
    QString why;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class RotationRefused : public Rotation, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RotationRefused, TouchesNothingAndSaysWhyOnce) {
    const RefusedCase& c = GetParam();
    put(messages, QStringLiteral("leia.txt"));
    put(paths.homeFolder, QStringLiteral("documento.odt"));
    put(tmp.path() + QStringLiteral("/app"), QStringLiteral("espera"));
    const QString setting = c.setting(*this);
    state.settings.dropFolder = setting;
    loop.advance(4 * 30000);

    ASSERT_EQ(log.lines.size(), 1) << log.lines.join('\n').toStdString();
    EXPECT_TRUE(log.lines.front().startsWith(QStringLiteral("A pasta de reposição ")));
    EXPECT_TRUE(log.lines.front().endsWith(
        QStringLiteral(" não pode ser usada porque %1; nenhum arquivo dela foi movido ou apagado. "
                       "Escolha outra pasta nas Configurações.")
            .arg(c.why)))
        << log.lines.front().toStdString();
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(files.calls, QStringList{});
    EXPECT_EQ(files.outside, QStringList{});
    EXPECT_EQ(filesIn(messages),
              (QStringList{QStringLiteral("espera.wav"), QStringLiteral("leia.txt")}));
    EXPECT_EQ(filesIn(paths.homeFolder), QStringList{QStringLiteral("documento.odt")});
    EXPECT_TRUE(rotation.checkTimer().enabled());
    EXPECT_EQ(uncaught, QStringList{});
}

INSTANTIATE_TEST_SUITE_P(
    Folders, RotationRefused,
    ::testing::Values(
        RefusedCase{"TheMessageFolder", [](Rotation& r) { return r.messages; },
                    "é a pasta de mensagens do programa"},
        // The message on air chosen with the browse button.
        RefusedCase{"AFileOfTheMessageFolder",
                    [](Rotation& r) { return r.messages + QStringLiteral("/espera.wav"); },
                    "é a pasta de mensagens do programa"},
        RefusedCase{"TheMessageFolderInAnotherCase",
                    [](Rotation& r) {
                        const QString alias = r.tmp.path() + QStringLiteral("/app/AUDIO");
                        r.files.aliases.insert(alias, r.messages);
                        return alias;
                    },
                    "é a pasta de mensagens do programa"},
        RefusedCase{"ALinkToTheMessageFolder",
                    [](Rotation& r) {
                        const QString link = r.tmp.path() + QStringLiteral("/atalho");
                        QFile::link(r.messages, link);
                        return link;
                    },
                    "é a pasta de mensagens do programa"},
        RefusedCase{"TheProgramsFolderThatHoldsIt",
                    [](Rotation& r) { return r.tmp.path() + QStringLiteral("/app/"); },
                    "contém a pasta de mensagens do programa"},
        RefusedCase{"AFolderAboveTheProgram", [](Rotation& r) { return r.tmp.path(); },
                    "contém a pasta de mensagens do programa"},
        RefusedCase{"TheHomeFolder",
                    [](Rotation& r) { return r.paths.homeFolder + QLatin1Char('/'); },
                    "é a pasta pessoal do usuário"},
        RefusedCase{"TheRoot", [](Rotation&) { return QStringLiteral("/"); },
                    "é uma pasta do sistema"},
        RefusedCase{"Etc", [](Rotation&) { return QStringLiteral("/etc"); },
                    "é uma pasta do sistema"},
        RefusedCase{"Tmp", [](Rotation&) { return QStringLiteral("/tmp/"); },
                    "é uma pasta do sistema"},
        RefusedCase{"AFileOfUsr", [](Rotation&) { return QStringLiteral("/usr/bin/env"); },
                    "fica dentro de uma pasta do sistema"},
        RefusedCase{"BelowProc", [](Rotation&) { return QStringLiteral("/proc/self/fd"); },
                    "fica dentro de uma pasta do sistema"},
        RefusedCase{"BelowSys", [](Rotation&) { return QStringLiteral("/sys/kernel"); },
                    "fica dentro de uma pasta do sistema"},
        RefusedCase{"VarLog", [](Rotation&) { return QStringLiteral("/var/log"); },
                    "fica dentro de uma pasta do sistema"},
        // Not there yet: never made inside a system folder.
        RefusedCase{"ANewFolderInEtc", [](Rotation&) { return QStringLiteral("/etc/quindra-x"); },
                    "fica dentro de uma pasta do sistema"},
        // The folder the program was started in, whatever it holds.
        RefusedCase{"Relative",
                    [](Rotation& r) {
                        QDir::setCurrent(r.drop);
                        r.put(r.drop, QStringLiteral("musica.wav"));
                        return QStringLiteral(".");
                    },
                    "é um caminho relativo, que dependeria da pasta em que o programa foi "
                    "iniciado; informe o caminho completo, começando por \"/\""}),
    [](const auto& info) { return std::string(info.param.name); });

// The drop-folder field stores every keystroke: a check that falls while it
// reads a folder on the way to another does not act on that folder. A
// setting is used once it has stood for a whole check.
TEST_F(Rotation, ASettingChangedJustBeforeACheckIsNotUsedByIt) {
    const QString onTheWay = tmp.path() + QStringLiteral("/dro");
    QDir().mkpath(onTheWay);
    put(onTheWay, QStringLiteral("planilha.xls"));
    loop.advance(29999);
    state.settings.dropFolder = onTheWay;
    loop.advance(1);
    state.settings.dropFolder = drop;
    loop.advance(30000);
    EXPECT_EQ(files.calls, QStringList{});
    EXPECT_EQ(filesIn(onTheWay), QStringList{QStringLiteral("planilha.xls")});

    // One that stands is used from the check after.
    state.settings.dropFolder = onTheWay;
    loop.advance(3 * 30000);
    EXPECT_EQ(filesIn(onTheWay), QStringList{});
    EXPECT_EQ(log.lines, (QStringList{ignored(QStringLiteral("planilha.xls"))}));
}

// On a case-insensitive message folder (vfat, exFAT, CIFS) "Promo.wav"
// replaces "promo.wav" in place: the old message's name then reaches the new
// one, which must stay.
TEST_F(Rotation, ANewMessageThatDiffersOnlyInCaseIsNotDeletedAsTheOldOne) {
    files.caseFolding = {messages};
    QFile::remove(messages + QStringLiteral("/espera.wav"));
    onAir(QStringLiteral("promo.wav"));
    put(drop, QStringLiteral("Promo.wav"));
    checkAndSettle();
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("Promo.wav")});
    EXPECT_EQ(contentOf(messages + QStringLiteral("/Promo.wav")), QStringLiteral("drop:Promo.wav"));
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("Promo.wav"))});
}

// Files found beside the message on air at a swap leave the folder for its
// "Ignorados", other messages too: nothing the operator put there is deleted.
TEST_F(Rotation, TheSwapLeavesTheNewMessageAloneInTheMessageFolder) {
    put(messages, QStringLiteral("leia.txt"));
    put(messages, QStringLiteral("sobra.mp3"));
    put(drop, QStringLiteral("promo.wav"));
    checkAndSettle();
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("promo.wav")});
    EXPECT_EQ(filesIn(messages + QStringLiteral("/Ignorados")),
              (QStringList{QStringLiteral("leia.txt"), QStringLiteral("sobra.mp3")}));
    EXPECT_EQ(stored(QStringLiteral("ArquivoAnterior")), QStringLiteral("espera.wav"));
    EXPECT_EQ(log.lines.front(), kEfetuando);
    EXPECT_EQ(log.lines.back(), kSucesso);
    EXPECT_FALSE(log.lines.contains(kErroAntigo));
}

// A name that is not valid UTF-8 (a file from an old archive or share) is
// given a readable name in place and goes on air; one that cannot be renamed
// is said once.
TEST_F(Rotation, AFileNamedInAnotherEncodingIsRenamedAndTaken) {
    const QByteArray latin1 = QFile::encodeName(drop) + "/Promo\xe7\xe3o.wav";
    const int fd = ::open(latin1.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);

    files.renameBytesFails = true;
    loop.advance(2 * 30000);
    const QString cannot = QStringLiteral(
        "O arquivo Promoção.wav da pasta de reposição tem um nome que não é texto UTF-8 válido e "
        "não pôde ser renomeado (Permission denied); renomeie-o para que ele possa ir ao ar.");
    EXPECT_EQ(log.lines, QStringList{cannot});

    files.renameBytesFails = false;
    loop.advance(30000);
    EXPECT_EQ(log.lines.mid(1),
              QStringList{QStringLiteral("O nome de um arquivo da pasta de reposição não era texto "
                                         "UTF-8 válido e foi corrigido para Promoção.wav.")});
    loop.advance(30000);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("Promoção.wav"))});
    EXPECT_EQ(filesIn(drop), QStringList{});
}

// Names that repair to one text, or to the name of a file that is there
// already, all survive: each gets a name of its own, none is overwritten.
TEST_F(Rotation, NamesThatRepairToTheSameTextAllSurvive) {
    put(drop, QStringLiteral("Promoção.wav"));
    const std::pair<QByteArray, QByteArray> undecodable[] = {
        {"Promo\xe7\xe3o.wav", "latin-1"}, {"Promo\xc3\xa7\xe3o.wav", "metade utf-8"}};
    for (const auto& [bytes, content] : undecodable) {
        const int fd =
            ::open((QFile::encodeName(drop) + '/' + bytes).constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, content.constData(), static_cast<std::size_t>(content.size())),
                  content.size());
        ::close(fd);
    }
    loop.advance(30000);
    const QStringList names = filesIn(drop);
    ASSERT_EQ(names.size(), 3) << names.join(' ').toStdString();
    EXPECT_TRUE(names.contains(QStringLiteral("Promoção.wav")));
    QStringList contents;
    for (const QString& name : names)
        contents << contentOf(drop + QLatin1Char('/') + name);
    contents.sort();
    EXPECT_EQ(contents, (QStringList{QStringLiteral("drop:Promoção.wav"), QStringLiteral("latin-1"),
                                     QStringLiteral("metade utf-8")}));
}

TEST_F(Rotation, AnUnreadableDropFolderIsReportedOnceAndNotTakenForAnEmptyOne) {
    files.unreadable = {drop};
    put(drop, QStringLiteral("promo.wav"));
    loop.advance(3 * 30000);
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("A pasta de reposição %1 não pode ser lida "
                                                    "(Permission denied); a verificação continua.")
                                         .arg(drop)});
    files.unreadable.clear();
    checkAndSettle();
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
}

TEST_F(Rotation, AVanishedDropFolderIsMadeAgainOrReportedOnceAndTheWatchGoesOn) {
    QDir(drop).removeRecursively();
    files.makeFolderFails = true;
    state.swap.replaySuspended = true;  // as a shutdown would have left it
    loop.advance(3 * 30000);
    EXPECT_EQ(
        log.lines,
        QStringList{QStringLiteral("A pasta de reposição %1 não existe e não pôde ser criada; a "
                                   "verificação continua.")
                        .arg(drop)});
    EXPECT_TRUE(rotation.checkTimer().enabled());
    EXPECT_FALSE(state.swap.replaySuspended);
    EXPECT_EQ(uncaught, QStringList{});

    files.makeFolderFails = false;
    loop.advance(30000);
    EXPECT_EQ(
        log.lines.back(),
        QStringLiteral("A pasta de reposição %1 não existia e foi criada novamente.").arg(drop));
    EXPECT_TRUE(QFileInfo(drop).isDir());
    put(drop, QStringLiteral("promo.wav"));
    checkAndSettle();
    EXPECT_EQ(log.lines.back(), kSucesso);

    // A setting that never named anything has no folder to make again.
    const int before = static_cast<int>(log.lines.size());
    state.settings.dropFolder = tmp.path() + QStringLiteral("/nunca");
    loop.advance(3 * 41000);
    EXPECT_EQ(log.lines.mid(before),
              QStringList{QStringLiteral("A pasta de reposição %1 não foi "
                                         "encontrada; a verificação continua.")
                              .arg(state.settings.dropFolder)});
    EXPECT_TRUE(rotation.checkTimer().enabled());
    EXPECT_EQ(uncaught, QStringList{});
}

// A share that is mounted after the program starts: the default folder
// serves meanwhile, the setting is kept, and the share's folder is used as
// soon as it is there. Nothing is ever made where the share is not mounted.
TEST_F(Rotation, AShareMountedLateIsUsedAsSoonAsItIsThere) {
    const QString fallback = tmp.path() + QStringLiteral("/home/Vizudu Telefônica");
    paths.defaultDropFolder = fallback + QLatin1Char('/');
    const QString share = tmp.path() + QStringLiteral("/rede/espera");
    state.settings.dropFolder = share;
    QDir().mkpath(tmp.path() + QStringLiteral("/rede"));  // the empty mount point
    rotation.findMessageOnAir();
    EXPECT_EQ(log.lines,
              QStringList{QStringLiteral("A pasta de reposição %1 não foi encontrada; até que ela "
                                         "exista, é usada a pasta padrão %2, e a configuração "
                                         "fica como está.")
                              .arg(share, fallback)});
    EXPECT_TRUE(QFileInfo(fallback).isDir());

    // Messages dropped in the default folder go on air meanwhile.
    put(fallback, QStringLiteral("provisoria.wav"));
    loop.advance(4 * 30000);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("provisoria.wav"))});
    EXPECT_FALSE(QFileInfo::exists(share));
    EXPECT_EQ(state.settings.dropFolder, share);

    // Mounted: its messages go on air, and the default folder is left alone.
    QDir().mkpath(share);
    put(share, QStringLiteral("da-rede.wav"));
    put(fallback, QStringLiteral("esquecida.wav"));
    loop.advance(3 * 30000);
    EXPECT_TRUE(log.lines.contains(
        QStringLiteral("A pasta de reposição %1 foi encontrada e passa a ser usada.").arg(share)));
    EXPECT_EQ(played().back(), playing(QStringLiteral("da-rede.wav")));
    EXPECT_EQ(filesIn(fallback), QStringList{QStringLiteral("esquecida.wav")});

    // Unmounted again: the folder is not made on the disk beneath.
    QDir(share).removeRecursively();
    const int before = static_cast<int>(log.lines.size());
    loop.advance(7000 + 3 * 30000);
    EXPECT_FALSE(QFileInfo::exists(share));
    EXPECT_EQ(log.lines.mid(before),
              QStringList{QStringLiteral("A pasta de reposição %1 não foi encontrada; a "
                                         "verificação continua.")
                              .arg(share)});
    EXPECT_EQ(uncaught, QStringList{});
}

// The setting names a file chosen with the browse button; once a swap has
// taken that file away, its folder is still the drop folder.
TEST_F(Rotation, AChosenFileTakenAwayLeavesItsFolderWatched) {
    put(drop, QStringLiteral("escolhida.wav"));
    state.settings.dropFolder = drop + QStringLiteral("/escolhida.wav");
    loop.advance(3 * 30000);
    ASSERT_EQ(filesIn(drop), QStringList{});

    put(drop, QStringLiteral("seguinte.wav"));
    loop.advance(7000 + 3 * 30000);
    EXPECT_EQ(played().back(), playing(QStringLiteral("seguinte.wav")));
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso, kEfetuando, kSucesso}));
    EXPECT_EQ(uncaught, QStringList{});
}

TEST_F(Rotation, AMissingMessageFolderIsMadeAgainOrTheSwapWaits) {
    put(drop, QStringLiteral("promo.wav"));
    QDir(messages).removeRecursively();
    files.makeFolderFails = true;
    loop.advance(3 * 30000);
    const QString refused = QStringLiteral(
                                "A pasta de mensagens %1 não existe e não pôde ser criada; a "
                                "troca fica para a próxima verificação.")
                                .arg(messages);
    EXPECT_EQ(log.lines, QStringList{refused});
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(filesIn(drop), QStringList{QStringLiteral("promo.wav")});
    EXPECT_TRUE(rotation.checkTimer().enabled());

    files.makeFolderFails = false;
    loop.advance(30000);
    EXPECT_EQ(log.lines.mid(1),
              (QStringList{QStringLiteral("A pasta de mensagens %1 não existia e foi criada "
                                          "novamente.")
                               .arg(messages),
                           kEfetuando, kErroAntigo, kSucesso}));
    EXPECT_EQ(filesIn(messages), QStringList{QStringLiteral("promo.wav")});
    EXPECT_EQ(uncaught, QStringList{});
}

// Start-up: the message on air is chosen from what the message folder holds,
// which is left holding it alone; with nothing to play, one line says how to
// put a message on air.
struct StartCase {
    const char* name;
    QStringList inFolder;  // the message folder's files; ".nova-mensagem.tmp" is a crash's
    QString onHistory{};   // "ArquivoAtual"
    QStringList undecodable{};
    QStringList tooShort{};  // shorter than a new message may be
    QString onAir{};
    QStringList lines{};
    QStringList messagesAfter{};
    QStringList ignoredAfter{};
    QStringList invalidAfter{};
};

void PrintTo(const StartCase& c, std::ostream* os) {
    *os << c.name;
}

const QString kNothingOnAir = QStringLiteral(
    "Nenhuma mensagem no ar: a pasta de mensagens não tem um arquivo de áudio que possa ser "
    "tocado. Para pôr uma no ar, coloque um arquivo .wav ou .mp3 na pasta de reposição %1.");

class RotationStart : public Rotation, public ::testing::WithParamInterface<StartCase> {};

TEST_P(RotationStart, ChoosesOneMessageAndSaysWhenThereIsNone) {
    const StartCase& c = GetParam();
    QFile::remove(messages + QStringLiteral("/espera.wav"));
    for (const QString& name : c.inFolder)
        put(messages, name);
    if (!c.onHistory.isEmpty())
        store.setValue(Root::LocalMachine, kConfigKey, QStringLiteral("ArquivoAtual"),
                       RegValue::String(c.onHistory));
    probe.undecodable = c.undecodable;
    for (const QString& name : c.tooShort)
        probe.verdicts.insert(name, AudioProbe::Verdict::TooShort);

    rotation.findMessageOnAir();

    EXPECT_EQ(state.onAir.file,
              c.onAir.isEmpty() ? QString() : messages + QLatin1Char('/') + c.onAir);
    ASSERT_FALSE(announced.empty());
    EXPECT_EQ(announced.back().file, state.onAir.file);
    QStringList lines = c.lines;
    if (c.onAir.isEmpty())
        lines << kNothingOnAir.arg(drop);
    EXPECT_EQ(log.lines, lines);
    EXPECT_EQ(filesIn(messages), c.messagesAfter);
    EXPECT_EQ(filesIn(messages + QStringLiteral("/Ignorados")), c.ignoredAfter);
    EXPECT_EQ(filesIn(messages + QStringLiteral("/Inválidos")), c.invalidAfter);
}

const QString kStaleRemoved =
    QStringLiteral("A cópia deixada por uma troca interrompida foi apagada da pasta de mensagens.");

QString movedFromMessages(const QString& name) {
    return QStringLiteral(
               "O arquivo %1 foi movido da pasta de mensagens para a pasta "
               "\"Ignorados\" dela, que guarda só a mensagem no ar.")
        .arg(name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RotationStart,
    ::testing::Values(
        StartCase{.name = "OneMessage",
                  .inFolder = {QStringLiteral("espera.wav")},
                  .onAir = QStringLiteral("espera.wav"),
                  .messagesAfter = {QStringLiteral("espera.wav")}},
        StartCase{.name = "Empty", .inFolder = {}},
        StartCase{.name = "OnlyAFileThatCannotBePlayed",
                  .inFolder = {QStringLiteral("quebrado.wav")},
                  .undecodable = {QStringLiteral("quebrado.wav")},
                  .lines = {QStringLiteral("O arquivo de áudio quebrado.wav da pasta de mensagens "
                                           "não pôde ser lido e foi movido para a pasta "
                                           "\"Inválidos\" dela.")},
                  .invalidAfter = {QStringLiteral("quebrado.wav")}},
        StartCase{.name = "OnlyAFileThatIsNotAMessage",
                  .inFolder = {QStringLiteral("leia.txt")},
                  .lines = {QStringLiteral("O arquivo leia.txt não é uma mensagem e foi movido da "
                                           "pasta de mensagens para a pasta \"Ignorados\" dela.")},
                  .ignoredAfter = {QStringLiteral("leia.txt")}},
        // A crash between the copy's rename and the history: the history
        // names the old message, which stays; the new one is still in the
        // drop folder for the next check.
        StartCase{.name = "TheOneTheHistoryNames",
                  .inFolder = {QStringLiteral("antiga.wav"), QStringLiteral("nova.wav")},
                  .onHistory = QStringLiteral("antiga.wav"),
                  .onAir = QStringLiteral("antiga.wav"),
                  .lines = {movedFromMessages(QStringLiteral("nova.wav"))},
                  .messagesAfter = {QStringLiteral("antiga.wav")},
                  .ignoredAfter = {QStringLiteral("nova.wav")}},
        StartCase{.name = "TheOneTheHistoryNamesAfterTheOthers",
                  .inFolder = {QStringLiteral("antiga.wav"), QStringLiteral("nova.wav")},
                  .onHistory = QStringLiteral("nova.wav"),
                  .onAir = QStringLiteral("nova.wav"),
                  .lines = {movedFromMessages(QStringLiteral("antiga.wav"))},
                  .messagesAfter = {QStringLiteral("nova.wav")},
                  .ignoredAfter = {QStringLiteral("antiga.wav")}},
        // Put there by hand, and no history: the first by name that plays.
        StartCase{
            .name = "TheFirstThatPlays",
            .inFolder = {QStringLiteral("a.wav"), QStringLiteral("b.mp3"), QStringLiteral("c.wav")},
            .onHistory = QStringLiteral("sumiu.wav"),
            .undecodable = {QStringLiteral("a.wav")},
            .onAir = QStringLiteral("b.mp3"),
            .lines = {QStringLiteral("O arquivo de áudio a.wav da pasta de mensagens não "
                                     "pôde ser lido e foi movido para a pasta \"Inválidos\" "
                                     "dela."),
                      movedFromMessages(QStringLiteral("c.wav"))},
            .messagesAfter = {QStringLiteral("b.mp3")},
            .ignoredAfter = {QStringLiteral("c.wav")},
            .invalidAfter = {QStringLiteral("a.wav")}},
        // Moving the only message aside would leave the line silent.
        StartCase{.name = "AShortMessageKeepsPlaying",
                  .inFolder = {QStringLiteral("curta.wav")},
                  .tooShort = {QStringLiteral("curta.wav")},
                  .onAir = QStringLiteral("curta.wav"),
                  .messagesAfter = {QStringLiteral("curta.wav")}},
        StartCase{.name = "ACopyCutShortByACrash",
                  .inFolder = {QStringLiteral(".nova-mensagem.tmp"), QStringLiteral("espera.wav")},
                  .onAir = QStringLiteral("espera.wav"),
                  .lines = {kStaleRemoved},
                  .messagesAfter = {QStringLiteral("espera.wav")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Rotation, AMessageFolderThatIsAFileHoldsNothingAndIsSaid) {
    QDir(messages).removeRecursively();
    put(tmp.path() + QStringLiteral("/app"), QStringLiteral("Audio"));
    rotation.findMessageOnAir();
    EXPECT_EQ(state.onAir.file, QString());
    EXPECT_EQ(log.lines,
              (QStringList{QStringLiteral("A pasta de mensagens %1 não é uma pasta (há um arquivo "
                                          "com esse nome); nenhuma mensagem pode ir ao ar.")
                               .arg(messages),
                           kNothingOnAir.arg(drop)}));
    EXPECT_EQ(files.calls, QStringList{});
    EXPECT_EQ(contentOf(messages), QStringLiteral("app:Audio"));
}

// Files already in the drop folder at start stood still since then: they go
// on air at the first check.
TEST_F(Rotation, FilesThereAtStartGoOnAirAtTheFirstCheck) {
    put(drop, QStringLiteral("promo.wav"));
    rotation.findMessageOnAir();
    loop.advance(30000);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
}

QString vanished(const QString& name) {
    return QStringLiteral(
               "O arquivo %1 saiu da pasta de reposição antes de ir ao ar; a mensagem atual "
               "continua no ar.")
        .arg(name);
}

// The program as it starts, with the drop folder followed by the watch.
class RotationWatched : public Rotation {
public:
    RotationWatched() {
        rotation.findMessageOnAir();
        player.calls.clear();
    }
    // A file written into the drop folder, and the watch telling of it.
    void arrives(const QString& name, const QByteArray& extra = {}) {
        put(drop, name, extra);
        folderWatch.arrived(name);
    }
};

// A file told by the watch is greeted at once, stands still for the settle
// while the message on air goes on, and goes on air then: the line hears
// only the swap's own pause.
TEST_F(RotationWatched, AFileToldByTheWatchGoesOnAirAfterTheSettle) {
    EXPECT_EQ(folderWatch.following, drop);
    std::vector<std::pair<std::int64_t, QString>> playerAt;
    player.onCall = [&](const QString& call) { playerAt.emplace_back(loop.now(), call); };
    loop.advance(5000);
    arrives(QStringLiteral("promo.wav"));
    EXPECT_EQ(log.received, QStringList{received(QStringLiteral("promo.wav"), 6)});
    EXPECT_EQ(log.receivedAt, std::vector<std::int64_t>{5000});

    loop.advance(MessageRotation::kSettleMs - 1);
    EXPECT_EQ(playerAt, (std::vector<std::pair<std::int64_t, QString>>{}));
    loop.advance(1);
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(log.at, (std::vector<std::int64_t>{7000, 11000}));
    EXPECT_EQ(playerAt,
              (std::vector<std::pair<std::int64_t, QString>>{
                  {7000, QStringLiteral("stop")}, {11000, playing(QStringLiteral("promo.wav"))}}));
    EXPECT_EQ(filesIn(drop), QStringList{});
    EXPECT_EQ(log.received.size(), 1);
}

// Each change told during the settle starts it afresh: a file is taken only
// once it has stood still for a whole settle after its last change.
TEST_F(RotationWatched, AChangeDuringTheSettleStartsItAfresh) {
    arrives(QStringLiteral("promo.wav"));
    loop.advance(1500);
    arrives(QStringLiteral("promo.wav"), "mais");
    loop.advance(MessageRotation::kSettleMs - 1);
    EXPECT_EQ(player.calls, QStringList{});
    loop.advance(1);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(contentOf(messages + QStringLiteral("/promo.wav")),
              QStringLiteral("drop:promo.wavmais"));
    EXPECT_EQ(log.received.size(), 1);
}

// Names under which programs write files not yet finished: never taken,
// never moved aside, never greeted, and told by the watch they start no
// look; the finished file, under its own name, goes on air.
TEST_F(RotationWatched, FilesInFlightAreLeftAlone) {
    const QStringList inFlight{QStringLiteral("promo.wav.crdownload"),
                               QStringLiteral("promo.wav.part"),
                               QStringLiteral("PROMO.WAV.PART"),
                               QStringLiteral("promo.wav.partial"),
                               QStringLiteral("promo.wav.filepart"),
                               QStringLiteral("promo.wav.opdownload"),
                               QStringLiteral("promo.mp3.!qB"),
                               QStringLiteral("promo.wav.tmp"),
                               QStringLiteral("~syncthing~promo.wav.tmp"),
                               QStringLiteral("~$relatorio.docx"),
                               QStringLiteral(".syncthing.promo.wav.tmp"),
                               QStringLiteral(".~promo.wav"),
                               QStringLiteral(".promo.wav.Xa1b2C"),
                               QStringLiteral(".~lock.tabela.ods#"),
                               QStringLiteral(".goutputstream-AB12CD")};
    for (const QString& name : inFlight) {
        arrives(name);
        EXPECT_FALSE(rotation.settleTimer().enabled()) << name.toStdString();
    }
    loop.advance(4 * 30000);
    EXPECT_EQ(log.lines, QStringList{});
    EXPECT_EQ(log.received, QStringList{});
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(files.calls, QStringList{});
    EXPECT_EQ(filesIn(drop).size(), inFlight.size());

    // The sync tool renames its finished file into place.
    QFile::rename(drop + QStringLiteral("/.syncthing.promo.wav.tmp"),
                  drop + QStringLiteral("/promo.wav"));
    folderWatch.arrived(QStringLiteral("promo.wav"));
    loop.advance(MessageRotation::kSettleMs);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(filesIn(drop).size(), inFlight.size() - 1);
    EXPECT_FALSE(QFileInfo::exists(drop + QStringLiteral("/Ignorados")));
}

// Events lost by the watch: the whole folder is looked at once, as a check
// would, and what stood still goes on air after the settle. Lost again
// within the same batch, it is still one look.
TEST_F(RotationWatched, AnOverflowEndsInOneFullLook) {
    for (int i = 0; i < 50; ++i)
        put(drop, QStringLiteral("m-%1.wav").arg(i, 2, 10, QLatin1Char('0')));
    loop.advance(1000);
    folderWatch.tell({{FolderWatch::Change::Overflow, {}}, {FolderWatch::Change::Overflow, {}}});
    EXPECT_EQ(log.received.size(), 50);
    EXPECT_EQ(log.received.front(), received(QStringLiteral("m-00.wav"), 6));
    EXPECT_EQ(log.received[1], received(QStringLiteral("m-01.wav"), 47));
    loop.advance(MessageRotation::kSettleMs);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("m-00.wav"))});
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(filesIn(drop).size(), 49);
}

// A folder the watch cannot follow is said once; its files go on air
// within a check and a settle, as they do on a share.
struct RefusedWatchCase {
    const char* name;
    FolderWatch::Refusal refusal;
    QString line;
};

void PrintTo(const RefusedWatchCase& c, std::ostream* os) {
    *os << c.name;
}

class RotationUnwatched : public Rotation,
                          public ::testing::WithParamInterface<RefusedWatchCase> {};

TEST_P(RotationUnwatched, TheChecksFindItsFilesWithinACheckAndASettle) {
    folderWatch.refusal = GetParam().refusal;
    rotation.findMessageOnAir();
    loop.advance(3 * 30000);
    EXPECT_EQ(log.lines, QStringList{GetParam().line.arg(drop)});
    put(drop, QStringLiteral("promo.wav"));
    loop.advance(30000 + MessageRotation::kSettleMs);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
    EXPECT_EQ(log.lines.size(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RotationUnwatched,
    ::testing::Values(
        RefusedWatchCase{"NetworkShare",
                         {.networkShare = true, .reason = {}},
                         QStringLiteral("A pasta de reposição %1 fica em outro computador (pasta "
                                        "de rede); os arquivos novos dela são vistos na "
                                        "verificação a cada 30 segundos.")},
        RefusedWatchCase{
            "NoWatchLeft",
            {.networkShare = false, .reason = QStringLiteral("No space left on device")},
            QStringLiteral("A pasta de reposição %1 não pode ser acompanhada de "
                           "imediato (No space left on device); os arquivos novos "
                           "dela são vistos na verificação a cada 30 segundos.")}),
    [](const auto& info) { return std::string(info.param.name); });

// A folder that was deleted and made again is followed again at the next
// check; what arrives in it meanwhile is found by that check.
TEST_F(RotationWatched, AFolderMadeAgainIsFollowedAgain) {
    QDir(drop).removeRecursively();
    folderWatch.tell({{FolderWatch::Change::FolderGone, {}}});
    folderWatch.following.clear();
    QDir().mkpath(drop);
    put(drop, QStringLiteral("promo.wav"));
    loop.advance(30000);
    EXPECT_EQ(folderWatch.watched, (QStringList{drop, drop}));
    EXPECT_EQ(folderWatch.following, drop);
    loop.advance(MessageRotation::kSettleMs);
    EXPECT_EQ(played(), QStringList{playing(QStringLiteral("promo.wav"))});
}

// A file taken away between the look and the copy (moved out, renamed, or
// deleted by whoever put it there) is no fault: one line, nothing set aside,
// nothing stopped, no copy left behind.
struct VanishCase {
    const char* name;
    bool readable;  // what the read of the vanishing file made of it
    bool renamed;   // renamed in the folder rather than taken out
};

void PrintTo(const VanishCase& c, std::ostream* os) {
    *os << c.name;
}

class RotationVanish : public Rotation, public ::testing::WithParamInterface<VanishCase> {};

TEST_P(RotationVanish, IsSaidOnceAndNothingIsMoved) {
    const VanishCase& c = GetParam();
    put(drop, QStringLiteral("promo.wav"));
    if (!c.readable)
        probe.undecodable = {QStringLiteral("promo.wav")};
    probe.onExamine = [&](const QString& path) {
        probe.onExamine = nullptr;
        const QString away = c.renamed ? drop + QStringLiteral("/promo.wav.part")
                                       : tmp.path() + QStringLiteral("/promo.wav");
        ASSERT_TRUE(QFile::rename(path, away));
    };
    checkAndSettle();
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, vanished(QStringLiteral("promo.wav"))}));
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(filesIn(messages), kOldMessageOnly);
    EXPECT_FALSE(QFileInfo::exists(drop + QStringLiteral("/Inválidos")));
    EXPECT_EQ(registry.writes, QStringList{});
    EXPECT_TRUE(rotation.checkTimer().enabled());
    loop.advance(3 * 30000);
    EXPECT_EQ(log.lines.size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Cases, RotationVanish,
                         ::testing::Values(VanishCase{"TakenOutWhileCopiable", true, false},
                                           VanishCase{"TakenOutWhileRead", false, false},
                                           VanishCase{"RenamedInFlight", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A writer that appends in small pieces, closing the file after each, for
// 90 s: the file is never taken nor set aside while it grows, with the watch
// telling of each piece or without it, and goes on air, whole, once it has
// stood still.
struct SlowWriterCase {
    const char* name;
    bool told;
    QString file;
};

void PrintTo(const SlowWriterCase& c, std::ostream* os) {
    *os << c.name;
}

class RotationSlowWriter : public RotationWatched,
                           public ::testing::WithParamInterface<SlowWriterCase> {};

TEST_P(RotationSlowWriter, NothingIsTakenHalfWritten) {
    const SlowWriterCase& c = GetParam();
    QByteArray written;
    const auto writer = loop.createTimer(1000, [&] {
        written += "pedaco;";
        if (c.told)
            arrives(c.file, written);
        else
            put(drop, c.file, written);
    });
    writer->setEnabled(true);
    loop.advance(90000);
    writer->setEnabled(false);
    EXPECT_EQ(player.calls, QStringList{});
    EXPECT_EQ(filesIn(drop), QStringList{c.file});
    EXPECT_EQ(files.calls, QStringList{});

    loop.advance(30000 + MessageRotation::kSettleMs);
    if (IsMessageName(c.file)) {
        EXPECT_EQ(played(), QStringList{playing(c.file)});
        EXPECT_EQ(contentOf(messages + QLatin1Char('/') + c.file),
                  QStringLiteral("drop:") + c.file + QString::fromLatin1(written));
    } else {
        EXPECT_EQ(filesIn(drop + QStringLiteral("/Ignorados")), QStringList{c.file});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writers, RotationSlowWriter,
    ::testing::Values(SlowWriterCase{"MessageTold", true, QStringLiteral("promo.wav")},
                      SlowWriterCase{"MessageFoundByTheChecks", false, QStringLiteral("promo.wav")},
                      SlowWriterCase{"NotAMessageTold", true, QStringLiteral("planilha.xls")},
                      SlowWriterCase{"NotAMessageFoundByTheChecks", false,
                                     QStringLiteral("planilha.xls")}),
    [](const auto& info) { return std::string(info.param.name); });

// What arrives during a swap and the wait after it is looked at when the
// watch resumes, not at the next check.
TEST_F(RotationWatched, WhatArrivesDuringASwapIsLookedAtWhenTheWatchResumes) {
    arrives(QStringLiteral("a.wav"));
    player.onCall = [&](const QString& call) {
        if (call == QStringLiteral("stop"))
            arrives(QStringLiteral("b.wav"));
    };
    loop.advance(MessageRotation::kSettleMs);
    player.onCall = nullptr;
    ASSERT_EQ(played(), QStringList{playing(QStringLiteral("a.wav"))});
    const std::int64_t swapEnd = loop.now();
    loop.advance(MessageRotation::kResumeAfterMs + MessageRotation::kSettleMs);
    EXPECT_EQ(played(),
              (QStringList{playing(QStringLiteral("a.wav")), playing(QStringLiteral("b.wav"))}));
    EXPECT_EQ(log.at.back(),
              swapEnd + MessageRotation::kResumeAfterMs + MessageRotation::kSettleMs + 4000);
}

// The first swap with nothing on air: no deletion error, and no previous
// message with times of its own.
TEST_F(Rotation, TheFirstSwapWithNothingOnAirNamesNoPreviousMessage) {
    QFile::remove(state.onAir.file);
    state.onAir.file.clear();
    player.stop();
    put(drop, QStringLiteral("promo.wav"));
    checkAndSettle();
    EXPECT_EQ(log.lines, (QStringList{kEfetuando, kSucesso}));
    EXPECT_EQ(stored(QStringLiteral("ArquivoAnterior")), QString());
    EXPECT_EQ(stored(QStringLiteral("DataAnteriorEntra")), QString());
    EXPECT_EQ(stored(QStringLiteral("DataAnteriorSai")), QString());
    EXPECT_EQ(stored(QStringLiteral("DataAtual")), QStringLiteral("10/12/2026-14:05:33"));
    ASSERT_FALSE(announced.empty());
    EXPECT_EQ(announced.back().history.previousUntil, QString());
}

}  // namespace
