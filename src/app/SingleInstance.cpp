#include "app/SingleInstance.h"

#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace quindra {

namespace {

// Connections of later starts waiting to be accepted; more wait only while
// the holder's event loop is busy, and a start that finds the queue full
// tries again a few times.
constexpr int kQueue = 16;
// A name found taken whose holder does not answer yet: bound a moment ago by
// a start just ahead of this one and not listening yet, or its queue full.
constexpr int kAttempts = 10;
constexpr auto kAttemptPause = std::chrono::milliseconds(20);

QString reason(int error) {
    return QString::fromStdString(std::generic_category().message(error));
}

// The account's name, or its number when the system has no name for it.
QString userName(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name && *found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

QByteArray guardName(QByteArray name, const QString& tag) {
    if (!tag.isEmpty())
        name += '-' + tag.toUtf8();
    return name;
}

// How a name is shown to people: the usual notation of abstract names.
QString shown(const QByteArray& name) {
    return QLatin1Char('@') + QString::fromUtf8(name);
}

QString userProblem(const QString& why) {
    return QStringLiteral(
               "Não foi possível verificar se o programa já está aberto para este usuário "
               "(%1); o programa segue mesmo assim.")
        .arg(why);
}

QString lineProblem(const QString& why) {
    return QStringLiteral(
               "Não foi possível verificar se outro programa já toca a mensagem de espera (%1); "
               "o programa abre o canal da espera mesmo assim.")
        .arg(why);
}

}  // namespace

SingleInstance::Socket::Socket(Socket&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}

SingleInstance::Socket& SingleInstance::Socket::operator=(Socket&& o) noexcept {
    if (this != &o) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(o.fd_, -1);
    }
    return *this;
}

SingleInstance::Socket::~Socket() {
    if (fd_ >= 0)
        ::close(fd_);
}

// The outcome of claiming one name.
struct SingleInstance::Claim {
    enum class Kind {
        Taken,   // ours now: `socket` holds it
        Held,    // someone else's: `holder`, when it answered
        Failed,  // no guard: `error`
    };
    Kind kind;
    Socket socket;
    std::optional<uid_t> holder;
    int error = 0;
};

SingleInstance::SingleInstance(const QString& tag)
    : userName_(guardName("quindra-" + QByteArray::number(::geteuid()), tag)),
      lineName_(guardName("quindra-hold-line", tag)) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::claim(const QByteArray& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // The leading zero byte puts the name in the abstract namespace; the
    // name is the bytes that follow, without a terminator.
    const std::size_t size =
        std::min(static_cast<std::size_t>(name.size()), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, name.constData(), size);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
    const auto* at = reinterpret_cast<const sockaddr*>(&address);
    const auto failed = [](int error) { return Claim{Claim::Kind::Failed, {}, {}, error}; };

    for (int attempt = 1;; ++attempt) {
        Socket own(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (own.get() < 0)
            return failed(errno);
        if (::bind(own.get(), at, length) == 0) {
            if (::listen(own.get(), kQueue) != 0)
                return failed(errno);
            return Claim{Claim::Kind::Taken, std::move(own), {}, 0};
        }
        if (errno != EADDRINUSE)
            return failed(errno);

        // Taken: the connection tells whose process listens on it. The
        // holder never reads from it; it only accepts and closes.
        const Socket ask(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (ask.get() < 0)
            return failed(errno);
        if (::connect(ask.get(), at, length) == 0) {
            ucred peer{};
            socklen_t peerSize = sizeof peer;
            if (::getsockopt(ask.get(), SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) == 0)
                return Claim{Claim::Kind::Held, {}, peer.uid, 0};
            return Claim{Claim::Kind::Held, {}, std::nullopt, 0};
        }
        // Refused: not listening yet, or gone since the bind (the next
        // attempt may take it). Busy: its queue is full for now.
        if (attempt >= kAttempts)
            return Claim{Claim::Kind::Held, {}, std::nullopt, 0};
        std::this_thread::sleep_for(kAttemptPause);
    }
}

SingleInstance::Start SingleInstance::acquire() {
    Claim user = claim(userName_);
    switch (user.kind) {
        case Claim::Kind::Taken:
            user_ = std::move(user.socket);
            break;
        case Claim::Kind::Held:
            if (user.holder == ::geteuid())
                return Start::AlreadyRunning;
            // Not this user's program: any local user can bind any abstract
            // name, and a name that does not answer proves nothing. The line's
            // guard still keeps a second program off the line.
            problems_ << userProblem(user.holder
                                         ? QStringLiteral("o nome %1 está em uso pelo usuário %2")
                                               .arg(shown(userName_), userName(*user.holder))
                                         : QStringLiteral("o nome %1 está em uso e não respondeu")
                                               .arg(shown(userName_)));
            break;
        case Claim::Kind::Failed:
            problems_ << userProblem(reason(user.error));
            break;
    }

    Claim line = claim(lineName_);
    switch (line.kind) {
        case Claim::Kind::Taken:
            line_ = std::move(line.socket);
            break;
        case Claim::Kind::Held:
            lineTaken_ = line.holder
                             ? QStringLiteral(
                                   "A mensagem de espera já é tocada no hardware da espera pelo "
                                   "programa do usuário %1; este programa não abre o canal da "
                                   "espera.")
                                   .arg(userName(*line.holder))
                             : QStringLiteral(
                                   "A mensagem de espera já é tocada no hardware da espera por "
                                   "outro programa; este programa não abre o canal da espera.");
            break;
        case Claim::Kind::Failed:
            problems_ << lineProblem(reason(line.error));
            break;
    }
    return Start::Run;
}

std::unique_ptr<QObject> SingleInstance::answerLaterStarts() const {
    auto answers = std::make_unique<QObject>();
    for (const Socket* held : {&user_, &line_}) {
        if (held->get() < 0)
            continue;
        const int listening = held->get();
        auto* notifier = new QSocketNotifier(listening, QSocketNotifier::Read, answers.get());
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [listening] {
            // Until the queue is empty (the socket does not block).
            while (Socket(::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC)).get() >= 0) {
            }
        });
    }
    return answers;
}

}  // namespace quindra
