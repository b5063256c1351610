#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "ProgramRun.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const QString kSwapping = QStringLiteral("Efetuando troca de arquivo de áudio.");

class DropFolder : public ProgramRun {
protected:
    void startOnAir(QProcessEnvironment env) {
        message(messages() + QStringLiteral("/espera.wav"), 0.4, 7);
        ASSERT_TRUE(QDir().mkpath(dropFolder()));
        start(env);
        ASSERT_TRUE(onAirLine()) << out().toStdString();
    }
    void startOnAir() { startOnAir(environment()); }

    // A whole message made outside the drop folder: its bytes and samples.
    struct Made {
        QByteArray bytes;
        std::vector<std::int16_t> samples;
    };
    Made make(const char* name, double seconds, std::uint32_t variant) {
        const QString file = path(name);
        Made made;
        made.samples = message(file, seconds, variant);
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        made.bytes = f.readAll();
        return made;
    }

    // Runs the test's own loop for a while (the program's output is read
    // meanwhile).
    void idle(milliseconds span) {
        waitFor(
            loop, [] { return false; }, span);
    }

    bool aside() const {
        return QFileInfo::exists(dropFolder() + QStringLiteral("/Ignorados")) ||
               QFileInfo::exists(dropFolder() + QStringLiteral("/Inválidos"));
    }
};

// A writer that appends small pieces for 90 s, closing the file after each,
// as a slow copy over a poor link does: the message never goes on air half
// written, nor is it set aside, with the folder watched or only checked;
// once whole, it goes on air.
class ASlowWriter : public DropFolder, public ::testing::WithParamInterface<bool> {};

TEST_P(ASlowWriter, NeverGoesOnAirHalfWritten) {
    QProcessEnvironment env = environment();
    if (GetParam())
        env.insert(QStringLiteral("QUINDRA_DROP_POLLING"), QStringLiteral("1"));
    startOnAir(env);
    const Made promo = make("promo.wav", 3.0, 11);
    const QString target = dropFolder() + QStringLiteral("/promo.wav");
    constexpr int kPieces = 180;  // one each half second
    const qsizetype piece = promo.bytes.size() / kPieces + 1;
    for (qsizetype at = 0; at < promo.bytes.size(); at += piece) {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(promo.bytes.mid(at, piece));
        f.close();
        idle(milliseconds(500));
        ASSERT_FALSE(out().contains(kSwapping)) << "taken while written, at byte " << at;
        ASSERT_FALSE(aside());
    }
    const std::size_t mark = played->size();
    EXPECT_TRUE(waitFor(
        loop, [&] { return heard(promo.samples, 2, mark); }, seconds(50)))
        << out().toStdString();
    EXPECT_FALSE(aside());
    EXPECT_EQ(out().count(kSwapping), 1);
    EXPECT_TRUE(endsInOrder());
}

INSTANTIATE_TEST_SUITE_P(Watches, ASlowWriter, ::testing::Values(false, true),
                         [](const auto& info) {
                             return std::string(info.param ? "Polling" : "Inotify");
                         });

// A message renamed into the drop folder (mv) is taken at once: well before
// the first check, 30 s after the start.
TEST_F(DropFolder, AMessageMovedInIsTakenAtOnce) {
    startOnAir();
    const Made promo = make("promo.wav", 1.0, 13);
    const std::size_t mark = played->size();
    ASSERT_TRUE(QFile::rename(path("promo.wav"), dropFolder() + QStringLiteral("/promo.wav")));
    EXPECT_TRUE(waitForLine(kSwapping, seconds(12))) << out().toStdString();
    EXPECT_TRUE(waitFor(
        loop, [&] { return heard(promo.samples, 2, mark); }, seconds(15)));
    EXPECT_TRUE(endsInOrder());
}

// More changes than inotify keeps while the program's loop cannot read them
// (the program stopped for a moment): the queue overflows, and the one full
// look that answers it finds the message, which no event told of.
TEST_F(DropFolder, AnOverflowOfTheWatchEndsInOneFullLook) {
    startOnAir();
    const Made promo = make("promo.wav", 1.0, 17);
    const auto pid = static_cast<pid_t>(program.processId());
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    ASSERT_TRUE(waitFor(
        loop, [&] { return state() == 'T'; }, seconds(5)));
    // Each creation of a browser's partial file is two events (created,
    // closed), more than the 16384 the kernel keeps by default.
    const QByteArray partial = QFile::encodeName(dropFolder() + QStringLiteral("/x.part"));
    for (int i = 0; i < 10000; ++i) {
        const int fd = ::open(partial.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
        ::unlink(partial.constData());
    }
    ASSERT_TRUE(QFile::rename(path("promo.wav"), dropFolder() + QStringLiteral("/promo.wav")));
    const std::size_t mark = played->size();
    ASSERT_EQ(::kill(pid, SIGCONT), 0);
    EXPECT_TRUE(waitForLine(kSwapping, seconds(12))) << out().toStdString();
    EXPECT_TRUE(waitFor(
        loop, [&] { return heard(promo.samples, 2, mark); }, seconds(15)));
    EXPECT_EQ(out().count(QStringLiteral("O arquivo promo.wav foi recebido")), 1);
    EXPECT_TRUE(endsInOrder());
}

// A real Syncthing pair: a message dropped at the head office reaches the
// switchboard's receive-only drop folder under a temporary name, and goes on
// air there; nothing is set aside during the transfer, and the deletion of
// the consumed file stays on the switchboard.
class WithSyncthing : public DropFolder {
protected:
    void TearDown() override {
        QProcess::execute(QStringLiteral(QUINDRA_SYNCTHING_PAIR),
                          {QStringLiteral("stop"), path("syncthing")});
        DropFolder::TearDown();
    }
    QJsonObject rest(const char* side, const QString& at, bool post = false) {
        QProcess curl;
        QStringList args{QStringLiteral("rest"), path("syncthing"), QString::fromLatin1(side), at};
        if (post)
            args << QStringLiteral("post");
        curl.start(QStringLiteral(QUINDRA_SYNCTHING_PAIR), args);
        curl.waitForFinished(10000);
        return QJsonDocument::fromJson(curl.readAllStandardOutput()).object();
    }
};

TEST_F(WithSyncthing, AMessageFromTheHeadOfficeGoesOnAirAndItsDeletionStaysHere) {
    const QString head = path("matriz");
    ASSERT_TRUE(QDir().mkpath(head));
    ASSERT_TRUE(QDir().mkpath(dropFolder()));
    ASSERT_EQ(QProcess::execute(QStringLiteral(QUINDRA_SYNCTHING_PAIR),
                                {QStringLiteral("start"), path("syncthing"), head, dropFolder()}),
              0);
    startOnAir();
    const Made promo = make("promo.wav", 2.0, 19);
    const std::size_t mark = played->size();
    ASSERT_TRUE(QFile::copy(path("promo.wav"), head + QStringLiteral("/promo.wav")));
    EXPECT_TRUE(waitFor(
        loop,
        [&] {
            EXPECT_FALSE(aside());
            return heard(promo.samples, 2, mark);
        },
        seconds(60)))
        << out().toStdString();
    EXPECT_EQ(filesIn(dropFolder()), QStringList{});
    EXPECT_FALSE(aside());

    // The switchboard sees its deletion as its own change, and keeps it.
    rest("switchboard", QStringLiteral("/rest/db/scan?folder=mensagens"), true);
    EXPECT_TRUE(waitFor(
        loop,
        [&] {
            return rest("switchboard", QStringLiteral("/rest/db/status?folder=mensagens"))
                       .value(QStringLiteral("receiveOnlyChangedDeletes"))
                       .toInt() == 1;
        },
        seconds(20)));
    idle(seconds(3));
    const QJsonObject file =
        rest("head", QStringLiteral("/rest/db/file?folder=mensagens&file=promo.wav"));
    EXPECT_FALSE(
        file.value(QStringLiteral("global")).toObject().value(QStringLiteral("deleted")).toBool());
    EXPECT_FALSE(file.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(head + QStringLiteral("/promo.wav")));
    EXPECT_TRUE(endsInOrder());
}

}  // namespace
