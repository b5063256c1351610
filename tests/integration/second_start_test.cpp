#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QStandardPaths>
#include <cstddef>
#include <cstring>
#include <functional>

#include "ProgramRun.h"
#include "audio/HoldChannel.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

using std::chrono::seconds;

// The first program in `program`, a second one beside it.
class TwoPrograms : public ProgramRun {
protected:
    void TearDown() override {
        if (second.state() != QProcess::NotRunning) {
            second.kill();
            second.waitForFinished(5000);
        }
        ProgramRun::TearDown();
    }

    void startSecond(const QProcessEnvironment& env) {
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(QUINDRA_PROGRAM), {});
        ASSERT_TRUE(second.waitForStarted(5000));
    }
    QString secondOut() {
        secondOutput += QString::fromUtf8(second.readAllStandardOutput());
        return secondOutput;
    }

    QProcess second;
    QString secondOutput;
};

// Started again by the same user from a cron job or an ssh session: no
// runtime folder, perhaps another home and temporary folder. It ends at
// once, saying nothing, and the first program goes on.
TEST_F(TwoPrograms, ASecondStartOfTheSameUserEndsAtOnceWhateverItsRuntimeFolderAndHome) {
    start();
    // Its guards are taken before its first line.
    ASSERT_TRUE(waitForLine(QStringLiteral("Localizando Hardware da Vizudu..."), seconds(20)))
        << out().toStdString();
    for (const char* d : {"other/home", "other/app/Audio", "other/config", "other/tmp"})
        ASSERT_TRUE(QDir().mkpath(path(d)));

    struct Variant {
        const char* name;
        std::function<void(QProcessEnvironment&)> change;
    };
    const Variant variants[] = {
        {"the same home", [](QProcessEnvironment&) {}},
        {"another home, message folder and temporary folder",
         [&](QProcessEnvironment& env) {
             env.insert(QStringLiteral("HOME"), path("other/home"));
             env.insert(QStringLiteral("QUINDRA_HOME"), path("other/app"));
             env.insert(QStringLiteral("XDG_CONFIG_HOME"), path("other/config"));
             env.insert(QStringLiteral("QUINDRA_REGISTRY"), path("other/registry.db"));
             env.insert(QStringLiteral("TMPDIR"), path("other/tmp"));
         }},
        {"no HOME either", [](QProcessEnvironment& env) { env.remove(QStringLiteral("HOME")); }},
    };
    for (const Variant& v : variants) {
        QProcessEnvironment env = environment();
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        v.change(env);
        startSecond(env);
        ASSERT_TRUE(second.waitForFinished(10000)) << v.name << ": still running";
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit) << v.name;
        EXPECT_EQ(second.exitCode(), 0) << v.name;
        EXPECT_EQ(second.readAll() + second.readAllStandardError(), QByteArray()) << v.name;
    }
    EXPECT_EQ(program.state(), QProcess::Running);
    EXPECT_TRUE(endsInOrder());
}

// This user's guard cannot be had: its name is bound by a socket that does
// not answer. That is no proof of a program of this user: the program says
// why, on standard error and in the log, and goes on air.
TEST_F(TwoPrograms, AGuardThatCannotBeHadIsSaidAndTheProgramGoesOnAir) {
    const QByteArray name = "quindra-" + QByteArray::number(::geteuid()) + '-' +
                            environment().value(QStringLiteral("QUINDRA_INSTANCE_TAG")).toUtf8();
    struct Bound {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ~Bound() { ::close(fd); }
    } squatter;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.constData(), static_cast<std::size_t>(name.size()));
    ASSERT_EQ(::bind(squatter.fd, reinterpret_cast<const sockaddr*>(&address),
                     static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())),
              0);

    message(messages() + QStringLiteral("/espera.wav"), 0.4, 7);
    start();
    ASSERT_TRUE(onAirLine()) << out().toStdString();
    const QString why =
        QStringLiteral(
            "Não foi possível verificar se o programa já está aberto para este usuário (o nome "
            "@%1 está em uso e não respondeu); o programa segue mesmo assim.")
            .arg(QString::fromUtf8(name));
    EXPECT_TRUE(waitForLine(QStringLiteral(" - ") + why, seconds(5))) << out().toStdString();
    EXPECT_EQ(QString::fromUtf8(program.readAllStandardError()).split(QLatin1Char('\n')).first(),
              why);
    EXPECT_TRUE(endsInOrder());
}

// Another user's program is on air, started with a runtime folder it cannot
// write (as after `su`) and a temporary folder it cannot write either. A start
// by this user runs its window and log but never opens the channel: one line
// names the user whose program plays, and only that program's message is
// heard, without a gap.
TEST_F(TwoPrograms, AnotherUsersStartNeitherOpensTheChannelNorPlaysAndSaysWhoPlays) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to start the first program as another user (nobody)";
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty() ||
        !::getpwnam("nobody"))
        GTEST_SKIP() << "needs setpriv and the user nobody";

    const QString other = path("other");
    ASSERT_TRUE(MakeProgramHome(QDir(other)));
    const auto theirs = message(other + QStringLiteral("/app/Audio/espera.wav"), 0.4, 7);
    const auto ours = message(messages() + QStringLiteral("/espera.wav"), 0.3, 11);
    ASSERT_TRUE(QDir().mkpath(path("tmp-root")));
    ASSERT_EQ(QProcess::execute(QStringLiteral("chown"),
                                {QStringLiteral("-R"), QStringLiteral("nobody:nogroup"), other}),
              0);
    // Left to root, as a runtime folder is after `su`.
    ASSERT_EQ(QProcess::execute(QStringLiteral("chown"),
                                {QStringLiteral("root:root"), other + QStringLiteral("/runtime")}),
              0);
    // Its way to its folders and to the sound server's socket.
    for (const QString& folder : {root.path(), device.path("")}) {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                          QFileDevice::ExeOther);
    }
    QProcessEnvironment theirEnv = ProgramEnvironment(QDir(other));
    // The same hold device.
    theirEnv.insert(QStringLiteral("QUINDRA_INSTANCE_TAG"),
                    environment().value(QStringLiteral("QUINDRA_INSTANCE_TAG")));
    theirEnv.insert(QStringLiteral("TMPDIR"), path("tmp-root"));
    start(theirEnv, {QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                     QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")});
    ASSERT_TRUE(onAirLine()) << out().toStdString() << program.readAllStandardError().toStdString();

    startSecond(environment());
    const QString taken = QStringLiteral(
        "A mensagem de espera já é tocada no hardware da espera pelo programa do usuário nobody; "
        "este programa não abre o canal da espera.");
    ASSERT_TRUE(waitFor(
        loop, [&] { return secondOut().contains(taken); }, seconds(20)))
        << secondOut().toStdString();
    // Past the moment a start that found the hardware would have opened the
    // channel, then long enough to hear what goes out.
    waitFor(
        loop, [] { return false; }, std::chrono::milliseconds(HoldChannel::kStartDelayMs + 1000));
    const std::size_t mark = played->size();
    waitFor(
        loop, [] { return false; }, seconds(3));

    EXPECT_EQ(second.state(), QProcess::Running);
    EXPECT_FALSE(secondOut().contains(QStringLiteral("Localizando Hardware")));
    EXPECT_FALSE(secondOut().contains(QStringLiteral("Stream inicializado")));
    EXPECT_TRUE(heard(theirs, 3, mark)) << "their message is not heard alone";
    EXPECT_FALSE(heard(ours, 1)) << "this user's message was heard";

    second.terminate();
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(secondOut().trimmed().endsWith(QStringLiteral(" - Sistema finalizado.")))
        << secondOut().toStdString();
    EXPECT_TRUE(endsInOrder());
}

}  // namespace
