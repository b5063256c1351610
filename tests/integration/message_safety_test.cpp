#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "ProgramRun.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

using std::chrono::seconds;

// The program killed (SIGKILL) at one step of a swap and started again:
// the message folder holds exactly one message, the one the history names,
// and it plays; the history is the old one or the new one; the dropped file
// stays in the drop folder unless its copy was safely on air; no staged copy
// is left behind.
struct CrashCase {
    const char* step;
    bool newOnAir;     // after the restart
    bool droppedKept;  // the dropped file still in the drop folder
};

void PrintTo(const CrashCase& c, std::ostream* os) {
    *os << c.step;
}

class CrashDuringASwap : public ProgramRun, public ::testing::WithParamInterface<CrashCase> {};

TEST_P(CrashDuringASwap, LeavesOnePlayableMessage) {
    const CrashCase& c = GetParam();
    const auto old = message(messages() + QStringLiteral("/espera.wav"), 0.4, 7);
    storeText("ArquivoAtual", QStringLiteral("espera.wav"));
    storeText("DataAtual", QStringLiteral("01/12/2026-08:00:00"));
    ASSERT_TRUE(QDir().mkpath(dropFolder()));
    // There before the start: it stood still since, so the first check takes it.
    const auto promo = message(dropFolder() + QStringLiteral("/promo.wav"), 0.6, 11);

    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("QUINDRA_STOP_AT_STEP"), QString::fromLatin1(c.step));
    start(env);
    ASSERT_TRUE(onAirLine()) << out().toStdString();
    ASSERT_TRUE(waitFor(
        loop, [&] { return state() == 'T'; }, seconds(60)))
        << "never reached " << c.step << "\n"
        << out().toStdString();
    program.kill();
    ASSERT_TRUE(program.waitForFinished(5000));

    const std::size_t mark = played->size();
    start();
    ASSERT_TRUE(onAirLine()) << out().toStdString();

    const QString onAir = c.newOnAir ? QStringLiteral("promo.wav") : QStringLiteral("espera.wav");
    EXPECT_EQ(filesIn(messages()), QStringList{onAir}) << out().toStdString();
    EXPECT_EQ(filesIn(dropFolder()),
              c.droppedKept ? QStringList{QStringLiteral("promo.wav")} : QStringList{});
    EXPECT_EQ(stored("ArquivoAtual"), onAir);
    if (c.newOnAir) {
        EXPECT_EQ(stored("ArquivoAnterior"), QStringLiteral("espera.wav"));
        EXPECT_EQ(stored("DataAnteriorEntra"), QStringLiteral("01/12/2026-08:00:00"));
    } else {
        EXPECT_EQ(stored("ArquivoAnterior"), QStringLiteral("<missing>"));
        EXPECT_EQ(stored("DataAtual"), QStringLiteral("01/12/2026-08:00:00"));
    }
    EXPECT_TRUE(waitFor(
        loop, [&] { return heard(c.newOnAir ? promo : old, 3, mark); }, seconds(15)))
        << "the message on air is not heard";
    EXPECT_TRUE(endsInOrder());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CrashDuringASwap,
    ::testing::Values(CrashCase{"copiada", false, true},    // staged beside the old message
                      CrashCase{"parada", false, true},     // the old message stopped
                      CrashCase{"renomeada", false, true},  // both in the folder, old history
                      CrashCase{"historico", true, true},   // both in the folder, new history
                      CrashCase{"antiga-apagada", true, true},
                      CrashCase{"reposicao-apagada", true, false}),
    [](const auto& info) {
        QString name = QString::fromLatin1(info.param.step);
        name.remove(QLatin1Char('-'));
        return name.toStdString();
    });

// Signals that end a program by default, sent while the message is on air
// and in the middle of a swap, and a reader of standard output that goes
// away: the program carries on, the swap completes, nothing is left behind.
TEST_F(ProgramRun, StraySignalsAndAClosedOutputNeitherStopTheProgramNorTheSwap) {
    message(messages() + QStringLiteral("/espera.wav"), 0.4, 7);
    ASSERT_TRUE(QDir().mkpath(dropFolder()));
    const auto promo = message(dropFolder() + QStringLiteral("/promo.wav"), 0.6, 11);
    start();
    ASSERT_TRUE(onAirLine()) << out().toStdString();

    const auto sendAll = [&] {
        for (int s : {SIGPIPE, SIGUSR1, SIGUSR2})
            ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), s), 0);
    };
    sendAll();
    ASSERT_TRUE(waitForLine(QStringLiteral("Efetuando troca de arquivo de áudio."), seconds(45)))
        << out().toStdString();
    sendAll();
    // The success line that follows finds nobody reading.
    program.closeReadChannel(QProcess::StandardOutput);

    const std::size_t mark = played->size();
    EXPECT_TRUE(waitFor(
        loop, [&] { return heard(promo, 3, mark); }, seconds(30)));
    EXPECT_EQ(program.state(), QProcess::Running);
    EXPECT_EQ(filesIn(messages()), QStringList{QStringLiteral("promo.wav")});
    EXPECT_EQ(filesIn(dropFolder()), QStringList{});
    EXPECT_EQ(stored("ArquivoAtual"), QStringLiteral("promo.wav"));
    EXPECT_TRUE(endsInOrder());
}

// A display that refuses the connection, and one whose server takes it and
// never answers: the program says so and goes on air without a window.
struct DeadDisplay {
    const char* name;
    bool listens;  // a socket that accepts and never answers
    const char* said;
};

void PrintTo(const DeadDisplay& c, std::ostream* os) {
    *os << c.name;
}

class ADeadDisplay : public ProgramRun, public ::testing::WithParamInterface<DeadDisplay> {};

TEST_P(ADeadDisplay, LeavesTheProgramOnAirWithoutAWindow) {
    const DeadDisplay& c = GetParam();
    // A display number nobody uses, reached through the abstract socket X11
    // clients try first, so nothing is made in /tmp/.X11-unix.
    int number = 0;
    int listener = -1;
    for (number = 4700; number < 4800; ++number) {
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            break;
    }
    if (c.listens) {
        listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(listener, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray name = "/tmp/.X11-unix/X" + QByteArray::number(number);
        std::memcpy(addr.sun_path + 1, name.constData(), static_cast<std::size_t>(name.size()));
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), length), 0);
        ASSERT_EQ(::listen(listener, 4), 0);
    }
    const auto espera = message(messages() + QStringLiteral("/espera.wav"), 0.4, 7);
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(number));
    start(env);

    const QString said = QString::fromUtf8(c.said).arg(number);
    EXPECT_TRUE(onAirLine()) << out().toStdString() << program.readAllStandardError().toStdString();
    EXPECT_TRUE(out().contains(QStringLiteral(" - ") + said)) << out().toStdString();
    EXPECT_TRUE(QString::fromUtf8(program.readAllStandardError()).contains(said));
    EXPECT_TRUE(waitFor(
        loop, [&] { return heard(espera, 3); }, seconds(15)));
    EXPECT_TRUE(endsInOrder());
    if (listener >= 0)
        ::close(listener);
}

INSTANTIATE_TEST_SUITE_P(
    Displays, ADeadDisplay,
    ::testing::Values(
        DeadDisplay{"Refused", false,
                    "A tela \":%1\" (DISPLAY) não pôde ser aberta; o programa segue sem janela."},
        DeadDisplay{"Silent", true,
                    "A tela \":%1\" (DISPLAY) não respondeu; o programa segue sem janela."}),
    [](const auto& info) { return std::string(info.param.name); });

// Nothing in the message folder: the channel opens, and the journal says
// that nothing is on air and how to put a message there.
// A stop that is already waiting when the program starts (held back by the
// starter, so it reaches the program before a single library is loaded) ends
// the program in order, with status 0, as a stop at any later moment does.
TEST_F(ProgramRun, AStopAskedForBeforeTheProgramLoadedEndsItInOrder) {
    message(messages() + QStringLiteral("/espera.wav"), 1.0, 3);
    start(environment(),
          {QStringLiteral("/usr/bin/python3"), QStringLiteral("-c"),
           QStringLiteral("import os, signal, sys\n"
                          "signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM})\n"
                          "os.kill(os.getpid(), signal.SIGTERM)\n"
                          "os.execv(sys.argv[1], sys.argv[1:])\n")});
    ASSERT_TRUE(program.waitForFinished(20000)) << out().toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(out().contains(QStringLiteral(" - Sistema finalizado"))) << out().toStdString();
}

TEST_F(ProgramRun, AnEmptyMessageFolderIsSaidNotHeardAsSilence) {
    start();
    ASSERT_TRUE(onAirLine()) << out().toStdString();
    const QString said = QStringLiteral(
                             "Nenhuma mensagem no ar: a pasta de mensagens não tem um arquivo de "
                             "áudio que possa ser tocado. Para pôr uma no ar, coloque um arquivo "
                             ".wav ou .mp3 na pasta de reposição %1.")
                             .arg(dropFolder());
    EXPECT_TRUE(out().contains(QStringLiteral(" - ") + said)) << out().toStdString();
    EXPECT_TRUE(endsInOrder());
}

// The file system's root as the drop folder, for a program run by an
// ordinary user: refused with one line, and nothing there is touched.
TEST_F(ProgramRun, TheRootAsTheDropFolderIsRefusedAndNothingIsTaken) {
    message(messages() + QStringLiteral("/espera.wav"), 0.4, 7);
    storeText("PathAudio", QStringLiteral("/"));
    const QStringList rootBefore = filesIn(QStringLiteral("/"));
    QStringList wrapper;
    if (::geteuid() == 0) {
        // As nobody: its own folders, and the sound server's socket reachable.
        QProcess::execute(QStringLiteral("chown"),
                          {QStringLiteral("-R"), QStringLiteral("nobody:nogroup"), root.path()});
        for (const QString& folder : {root.path(), device.path("")}) {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                              QFileDevice::ExeOther);
        }
        wrapper = {QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                   QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")};
    }
    start(environment(), wrapper);
    ASSERT_TRUE(onAirLine()) << out().toStdString() << program.readAllStandardError().toStdString();

    const QString refused = QStringLiteral(
        "A pasta de reposição / não pode ser usada porque é uma pasta do sistema; nenhum arquivo "
        "dela foi movido ou apagado. Escolha outra pasta nas Configurações.");
    ASSERT_TRUE(waitForLine(refused, seconds(45))) << out().toStdString();
    EXPECT_FALSE(out().contains(QStringLiteral("Efetuando troca")));
    EXPECT_EQ(filesIn(QStringLiteral("/")), rootBefore);
    EXPECT_EQ(stored("PathAudio"), QStringLiteral("/"));
    EXPECT_TRUE(endsInOrder());
}

}  // namespace
