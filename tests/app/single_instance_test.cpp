#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstddef>
#include <cstring>
#include <functional>
#include <system_error>

#include "app/SingleInstance.h"

using namespace quindra;

namespace {

using Start = SingleInstance::Start;

// Guards of their own for each use, so that neither a program running on
// this machine nor another test meets them.
QString freshTag() {
    static int count = 0;
    return QStringLiteral("test-%1-%2").arg(::getpid()).arg(++count);
}

// A pipe, both ends closed with it.
struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fd), 0); }
    ~Pipe() {
        for (int f : fd) {
            if (f >= 0)
                ::close(f);
        }
    }
};

// A child process that runs `hold` (as `uid`, when given) and keeps what it
// made until it is killed; `hold` says whether it made it.
class Holder {
public:
    explicit Holder(const std::function<bool()>& hold, uid_t uid = ::geteuid()) {
        Pipe ready;
        pid_ = ::fork();
        if (pid_ == 0) {
            char made = 0;
            if (uid == ::geteuid() ||
                (::setgroups(0, nullptr) == 0 && ::setresgid(uid, uid, uid) == 0 &&
                 ::setresuid(uid, uid, uid) == 0)) {
                // Gone with the test, however the test ends (set after the
                // change of user, which clears it).
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                made = hold() ? 1 : 0;
            }
            [[maybe_unused]] auto n = ::write(ready.fd[1], &made, 1);
            for (;;)
                ::pause();
        }
        char made = 0;
        made_ = pid_ > 0 && ::read(ready.fd[0], &made, 1) == 1 && made == 1;
    }
    ~Holder() { kill(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool made() const { return made_; }
    // As a crash ends it: nothing of its own runs.
    void kill() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    bool made_ = false;
};

// Binds an abstract name as any other process might, listening or not. The
// socket stays open until the holder process is killed.
bool BindAbstract(const QByteArray& name, bool listens) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.constData(), static_cast<std::size_t>(name.size()));
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
           (!listens || ::listen(fd, 1) == 0);
}

TEST(SingleInstance, TheSameUserIsTurnedAwayWhileItsProgramRunsAndNoLongerOnceItEndsOrCrashes) {
    const QString tag = freshTag();
    {
        SingleInstance first(tag);
        ASSERT_EQ(first.acquire(), Start::Run);
        EXPECT_EQ(first.lineTaken(), QString());
        EXPECT_EQ(first.problems(), QStringList());
        EXPECT_EQ(SingleInstance(tag).acquire(), Start::AlreadyRunning);
        // Another hold device (a test's virtual one): guards of its own.
        EXPECT_EQ(SingleInstance(freshTag()).acquire(), Start::Run);
    }
    EXPECT_EQ(SingleInstance(tag).acquire(), Start::Run);

    Holder running([&] {
        static SingleInstance held(tag);
        return held.acquire() == Start::Run;
    });
    ASSERT_TRUE(running.made());
    EXPECT_EQ(SingleInstance(tag).acquire(), Start::AlreadyRunning);
    running.kill();

    SingleInstance after(tag);
    EXPECT_EQ(after.acquire(), Start::Run);
    EXPECT_EQ(after.lineTaken(), QString());
    EXPECT_EQ(after.problems(), QStringList());
}

// Another account's process holding a name: its program holds the line, or
// something holds this user's own name (any user can bind any abstract
// name), answering or not. None of them is this user's program.
struct OtherHolder {
    const char* name;
    bool program;   // the other user's program; else a socket on this user's name
    bool listens;   // the socket answers connections
    bool lineFree;  // this program may play
    const char* problem;
};

void PrintTo(const OtherHolder& c, std::ostream* os) {
    *os << c.name;
}

class AnotherUser : public ::testing::TestWithParam<OtherHolder> {};

TEST_P(AnotherUser, IsNamedAndNeverTakenForThisUsersProgram) {
    const OtherHolder& c = GetParam();
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to hold a guard as another user (nobody)";
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user \"nobody\" on this system";
    const uid_t other = nobody->pw_uid;
    const QString tag = freshTag();
    const QByteArray ownName = "quindra-" + QByteArray::number(::geteuid()) + '-' + tag.toUtf8();

    Holder holder(
        [&] {
            if (!c.program)
                return BindAbstract(ownName, c.listens);
            static SingleInstance held(tag);
            return held.acquire() == Start::Run && held.lineTaken().isEmpty();
        },
        other);
    ASSERT_TRUE(holder.made());

    SingleInstance instance(tag);
    ASSERT_EQ(instance.acquire(), Start::Run);
    EXPECT_EQ(instance.lineTaken(),
              c.lineFree ? QString()
                         : QStringLiteral("A mensagem de espera já é tocada no hardware da espera "
                                          "pelo programa do usuário nobody; este programa não "
                                          "abre o canal da espera."));
    EXPECT_EQ(instance.problems(),
              c.problem ? QStringList{QString::fromUtf8(c.problem).arg(QString::fromUtf8(ownName))}
                        : QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Holders, AnotherUser,
    ::testing::Values(
        OtherHolder{"ItsProgram", true, true, false, nullptr},
        OtherHolder{"ThisUsersName", false, true, true,
                    "Não foi possível verificar se o programa já está aberto para este usuário "
                    "(o nome @%1 está em uso pelo usuário nobody); o programa segue mesmo assim."},
        OtherHolder{"ThisUsersNameSilent", false, false, true,
                    "Não foi possível verificar se o programa já está aberto para este usuário "
                    "(o nome @%1 está em uso e não respondeu); o programa segue mesmo assim."}),
    [](const auto& info) { return std::string(info.param.name); });

// No socket to be had: both guards are missing, each is said, and the
// program runs and plays (a guard that cannot be made is no other program).
TEST(SingleInstance, AGuardThatCannotBeMadeIsSaidAndTheProgramRunsOnTheLine) {
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit none = saved;
    none.rlim_cur = 0;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
    SingleInstance instance(freshTag());
    const Start start = instance.acquire();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);

    const QString why = QString::fromStdString(std::generic_category().message(EMFILE));
    EXPECT_EQ(start, Start::Run);
    EXPECT_EQ(instance.lineTaken(), QString());
    EXPECT_EQ(instance.problems(),
              (QStringList{QStringLiteral("Não foi possível verificar se o programa já está aberto "
                                          "para este usuário (%1); o programa segue mesmo assim.")
                               .arg(why),
                           QStringLiteral("Não foi possível verificar se outro programa já toca a "
                                          "mensagem de espera (%1); o programa abre o canal da "
                                          "espera mesmo assim.")
                               .arg(why)}));
}

// Each later start connects to ask; a program that runs for days answers
// every one of them, far more than its queue holds.
TEST(SingleInstance, LaterStartsAreAnsweredForAsLongAsTheProgramRuns) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    const QString tag = freshTag();
    SingleInstance first(tag);
    ASSERT_EQ(first.acquire(), Start::Run);
    const auto answering = first.answerLaterStarts();
    for (int i = 0; i < 50; ++i) {
        SingleInstance later(tag);
        ASSERT_EQ(later.acquire(), Start::AlreadyRunning) << "start " << i;
        EXPECT_EQ(later.problems(), QStringList());
        QCoreApplication::processEvents();
    }
}

}  // namespace
