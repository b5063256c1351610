#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>

#include "core/UniqueFd.h"
#include "mail/MailFailure.h"

namespace quindra {

using MailClock = std::chrono::steady_clock;

// Ends every wait of a mail exchange at once, for good: a program that is
// asked to stop must not wait on a server. Thrown from a signal handler.
class AbortSwitch {
public:
    AbortSwitch();
    ~AbortSwitch();
    AbortSwitch(const AbortSwitch&) = delete;
    AbortSwitch& operator=(const AbortSwitch&) = delete;

    // Async-signal-safe.
    void trigger() const noexcept;
    bool triggered() const;
    // Readable once triggered.
    int fd() const { return fd_; }

private:
    int fd_;
};

// When a wait ends: at a moment, or at once when the exchange is abandoned.
struct Deadline {
    MailClock::time_point at;
    const AbortSwitch* abort = nullptr;
};

// The exchange was abandoned: the program is stopping.
class Abandoned : public MailError {
public:
    Abandoned()
        : MailError(QStringLiteral("O envio foi interrompido: o sistema está sendo finalizado."),
                    MailFault::Abandoned) {}
};

// The failure of a socket: "Socket Error # 111" CR LF "Connection refused."
// Without a fault given, a refused connection and a time-out are told apart
// from other network failures by the number.
class SocketError : public MailError {
public:
    SocketError(int number, const QString& description);
    SocketError(int number, const QString& description, MailFault fault);
    static SocketError fromErrno(int err);
};

// No answer within the time limit. The connection itself is still there.
class TimedOut : public SocketError {
public:
    TimedOut();
};

// The peer closed the connection while the client was waiting for it.
class ConnectionClosed : public MailError {
public:
    ConnectionClosed()
        : MailError(QStringLiteral("Connection Closed Gracefully."), MailFault::ConnectionLost) {}
};

// Waits until fd is readable (or writable); throws the time-out as a socket
// failure once the deadline has passed, and Abandoned once its switch is
// thrown.
void waitReady(int fd, bool forWrite, Deadline deadline);

// A TCP connection to host:port, made within the deadline (non-blocking).
UniqueFd connectTcp(const QString& host, int port, Deadline deadline);

// The byte stream of one connection: plain TCP or TLS over it.
class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Some bytes, waiting for them until the deadline; throws
    // ConnectionClosed when the peer has closed.
    virtual QByteArray readSome(Deadline deadline) = 0;
    virtual void writeAll(const QByteArray& data, Deadline deadline) = 0;
    // Hands the socket over (for a TLS upgrade); the stream is unusable after.
    virtual UniqueFd takeSocket() = 0;
};

class PlainStream final : public ByteStream {
public:
    explicit PlainStream(UniqueFd fd) : fd_(std::move(fd)) {}
    QByteArray readSome(Deadline deadline) override;
    void writeAll(const QByteArray& data, Deadline deadline) override;
    UniqueFd takeSocket() override { return std::move(fd_); }

private:
    UniqueFd fd_;
};

}  // namespace quindra
