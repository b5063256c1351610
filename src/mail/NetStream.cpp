#include "mail/NetStream.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
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
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - MailClock::now()).count();
    return left <= 0 ? 0 : left > 1000000 ? 1000000 : static_cast<int>(left);
}

}  // namespace

SocketError::SocketError(int number, const QString& description)
    : AppError(QStringLiteral("Socket Error # %1\r\n%2").arg(number).arg(description)) {}

SocketError SocketError::fromErrno(int err) {
    return SocketError(err, describe(err));
}

TimedOut::TimedOut() : SocketError(ETIMEDOUT, describe(ETIMEDOUT)) {}

UniqueFd& UniqueFd::operator=(UniqueFd&& o) noexcept {
    if (this != &o) {
        reset();
        fd_ = o.release();
    }
    return *this;
}

void UniqueFd::reset() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void waitReady(int fd, bool forWrite, Deadline deadline) {
    for (;;) {
        pollfd p{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
        const int left = millisecondsLeft(deadline);
        if (left == 0)
            throw TimedOut();
        const int n = ::poll(&p, 1, left);
        if (n > 0)
            return;
        if (n < 0 && errno != EINTR)
            throw SocketError::fromErrno(errno);
    }
}

UniqueFd connectTcp(const QString& host, int port, Deadline deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray name = host.toUtf8();
    const QByteArray service = QByteArray::number(port);
    // A port outside 0..65535 is refused here rather than wrapped around.
    const int rc = ::getaddrinfo(name.constData(), service.constData(), &hints, &found);
    if (rc != 0)
        throw SocketError(rc, describeResolver(rc));
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
