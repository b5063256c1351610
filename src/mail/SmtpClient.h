#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

#include "mail/BlockingWorker.h"
#include "mail/MailFailure.h"
#include "mail/MailMessage.h"
#include "mail/NetStream.h"
#include "mail/SmtpClientSettings.h"
#include "mail/TlsLayer.h"

namespace quindra {

class Clock;

// The computer's host name, as the greeting and the notices give it.
QString ComputerName();

// A reply whose code the step did not expect; the text is the reply's lines,
// each ended by CR LF.
class SmtpReplyError : public MailError {
public:
    SmtpReplyError(int code, const QString& text, MailFault fault = MailFault::ServerRefused)
        : MailError(text, fault, code) {}
};

// The SMTP client: one connection per message (connect, send, disconnect).
// Each call runs its network exchange on the client's worker thread while
// the calling thread waits for it, handling nothing else meanwhile. The
// connect and every reply wait at most readTimeout; past it the step fails as
// a network failure would.
class SmtpClient {
public:
    struct Reply {
        int code = 0;
        QStringList text;
    };

    // The settings stay with their owner; the client reads them at each
    // step. startTls is the layer a plain connection upgrades with.
    SmtpClient(SmtpClientSettings& settings, const Clock& clock, const TlsLayer& startTls);
    // A client that stops with another's abort switch: a stop of the
    // program ends both exchanges.
    SmtpClient(SmtpClientSettings& settings, const Clock& clock, const TlsLayer& startTls,
               const AbortSwitch& abort);
    ~SmtpClient();
    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    // Host, port, account and authentication, as the settings page keeps them.
    SmtpClientSettings& settings() { return settings_; }
    const SmtpClientSettings& settings() const { return settings_; }

    // With a layer, the connection speaks TLS from its first byte; without,
    // it is plain text and upgrades with STARTTLS when the server offers it.
    void useTls(const TlsLayer* layer) { tls_ = layer; }
    const TlsLayer* tls() const { return tls_; }

    QString heloName;   // empty: the computer's host name
    QString mailAgent;  // the X-Mailer header; empty: none
    std::chrono::milliseconds readTimeout{30000};
    int maxLineLength = 16384;

    void connect();
    void send(const MailMessage& message);
    // Writes QUIT and closes without waiting for a reply; forgets the
    // authentication. Does nothing more without a connection.
    void disconnect();

    // Thrown from a stop signal: the exchange under way ends at its next
    // wait, and every later one at once, failing with Abandoned.
    const AbortSwitch& abortSwitch() const { return abort_; }

    bool connected() const { return stream_ != nullptr; }
    // The authentication mechanisms the server advertised after EHLO.
    const QStringList& mechanisms() const { return mechanisms_; }
    bool encrypted() const { return encrypted_; }
    const Reply& lastReply() const { return lastReply_; }

private:
    // The limit of one wait from now.
    Deadline deadline() const { return {MailClock::now() + readTimeout, &abort_}; }
    void connectOnWorker();
    bool speaksOnlyOldTls();
    void greet();
    void upgradeToTls();
    void disconnectOnWorker();

    // Runs a read or write of the stream. A stream that fails here is gone:
    // the connection counts as closed. A time-out leaves it open.
    void throughStream(const std::function<void()>& io);
    void writeLine(const QByteArray& line);
    Reply readReply();
    QByteArray readLine(Deadline limit);
    // Sends a command and checks the reply's code against the accepted ones
    // (none: any code); returns the reply.
    Reply command(const QByteArray& line, std::initializer_list<int> accepted,
                  MailFault refused = MailFault::ServerRefused);
    void expect(const Reply& reply, std::initializer_list<int> accepted,
                MailFault refused = MailFault::ServerRefused);

    const Clock& clock_;
    const TlsLayer& startTls_;
    const TlsLayer* tls_ = nullptr;
    SmtpClientSettings& settings_;

    std::unique_ptr<ByteStream> stream_;
    QByteArray input_;
    QStringList mechanisms_;
    bool eightBitMime_ = false;
    bool offersStartTls_ = false;
    bool encrypted_ = false;
    bool authenticated_ = false;
    Reply lastReply_;
    AbortSwitch ownAbort_;
    const AbortSwitch& abort_;
    // Last, so it stops before the connection it works on is released.
    BlockingWorker worker_;
};

}  // namespace quindra
