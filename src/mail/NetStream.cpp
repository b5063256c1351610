#include "mail/NetStream.h"

#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

namespace quindra {

namespace {

// The description in English whatever the locale, as the protocol's own
// texts are.
QString describe(int err) {
    const char* text = strerrordesc_np(err);
    return text ? QString::fromUtf8(text) + QLatin1Char('.')
                : QStringLiteral("Unknown error %1.").arg(err);
}

QString describeResolver(int code) {
    switch (code) {
        case EAI_NONAME:
            return QStringLiteral("Name or service not known.");
        case EAI_AGAIN:
            return QStringLiteral("Temporary failure in name resolution.");
        case EAI_FAIL:
            return QStringLiteral("Non-recoverable failure in name resolution.");
        case EAI_SERVICE:
            return QStringLiteral("Servname not supported for ai_socktype.");
        case EAI_NODATA:
            return QStringLiteral("No address associated with hostname.");
        case EAI_SYSTEM:
            return describe(errno);
        default:
            return QString::fromUtf8(gai_strerror(code)) + QLatin1Char('.');
    }
}

int millisecondsLeft(Deadline deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline.at - MailClock::now())
            .count();
    return left <= 0 ? 0 : left > 1000000 ? 1000000 : static_cast<int>(left);
}

}  // namespace

namespace {

MailFault faultOfNumber(int number) {
    switch (number) {
        case ECONNREFUSED:
            return MailFault::ConnectionRefused;
        case ETIMEDOUT:
            return MailFault::NoAnswer;
        default:
            return MailFault::NetworkFailure;
    }
}

// A resolver's answer that means the name is not there (now or at all).
MailFault faultOfResolver(int code) {
    switch (code) {
        case EAI_NONAME:
        case EAI_NODATA:
        case EAI_FAIL:
        case EAI_AGAIN:
        case EAI_ADDRFAMILY:
            return MailFault::NameNotFound;
        default:
            return MailFault::NetworkFailure;
    }
}

}  // namespace

SocketError::SocketError(int number, const QString& description)
    : SocketError(number, description, faultOfNumber(number)) {}

SocketError::SocketError(int number, const QString& description, MailFault fault)
    : MailError(QStringLiteral("Socket Error # %1\r\n%2").arg(number).arg(description), fault,
                number) {}

SocketError SocketError::fromErrno(int err) {
    return SocketError(err, describe(err));
}

TimedOut::TimedOut() : SocketError(ETIMEDOUT, describe(ETIMEDOUT)) {}

AbortSwitch::AbortSwitch() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

AbortSwitch::~AbortSwitch() {
    if (fd_ >= 0)
        ::close(fd_);
}

void AbortSwitch::trigger() const noexcept {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
}

bool AbortSwitch::triggered() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

void waitReady(int fd, bool forWrite, Deadline deadline) {
    for (;;) {
        pollfd p[2] = {{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0},
                       {deadline.abort ? deadline.abort->fd() : -1, POLLIN, 0}};
        if (deadline.abort && deadline.abort->triggered())
            throw Abandoned();
        const int left = millisecondsLeft(deadline);
        if (left == 0)
            throw TimedOut();
        const int n = ::poll(p, 2, left);
        if (n > 0 && p[1].revents != 0)
            throw Abandoned();
        if (n > 0)
            return;
        if (n < 0 && errno != EINTR)
            throw SocketError::fromErrno(errno);
    }
}

UniqueFd connectTcp(const QString& host, int port, Deadline deadline) {
    if (deadline.abort && deadline.abort->triggered())
        throw Abandoned();
    // The resolver would take 70000 as 4464: a port is refused, never wrapped.
    if (port < 1 || port > 65535)
        throw MailError(QStringLiteral("'%1' is not a valid integer value").arg(port),
                        MailFault::Other);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray name = host.toUtf8();
    const QByteArray service = QByteArray::number(port);
    const int rc = ::getaddrinfo(name.constData(), service.constData(), &hints, &found);
    if (rc != 0)
        throw SocketError(rc, describeResolver(rc), faultOfResolver(rc));
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> list(found, ::freeaddrinfo);

    int lastError = ECONNREFUSED;
    for (const addrinfo* a = list.get(); a; a = a->ai_next) {
        UniqueFd fd(
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
        if (fd.get() < 0) {
            lastError = errno;
            continue;
        }
        if (::connect(fd.get(), a->ai_addr, a->ai_addrlen) == 0)
            return fd;
        if (errno != EINPROGRESS) {
            lastError = errno;
            continue;
        }
        waitReady(fd.get(), true, deadline);
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &len) != 0)
            err = errno;
        if (err == 0)
            return fd;
        lastError = err;
    }
    throw SocketError::fromErrno(lastError);
}

QByteArray PlainStream::readSome(Deadline deadline) {
    char buf[4096];
    for (;;) {
        waitReady(fd_.get(), false, deadline);
        const ssize_t n = ::recv(fd_.get(), buf, sizeof buf, 0);
        if (n > 0)
            return QByteArray(buf, n);
        if (n == 0)
            throw ConnectionClosed();
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            throw SocketError::fromErrno(errno);
    }
}

void PlainStream::writeAll(const QByteArray& data, Deadline deadline) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd_.get(), data.constData() + done,
                                 static_cast<size_t>(data.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            throw SocketError::fromErrno(errno);
        waitReady(fd_.get(), true, deadline);
    }
}

}  // namespace quindra
