#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

#include "core/AppError.h"
#include "mail/BlockingWorker.h"
#include "mail/MailMessage.h"
#include "mail/NetStream.h"
#include "mail/SmtpClientSettings.h"
#include "mail/SslIoHandler.h"

namespace quindra {

class Clock;

// A reply whose code the step did not expect; the text is the reply's lines,
// each ended by CR LF.
class SmtpReplyError : public AppError {
public:
    SmtpReplyError(int code, const QString& text) : AppError(text), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// The SMTP client: one connection per message (Connect, Send, Disconnect).
// Each call runs its network exchange on the client's worker thread while
// the calling thread waits for it, handling nothing else meanwhile. The
// connect and every reply wait at most ReadTimeout; past it the step fails as
// a network failure would.
class TSmtpClient {
public:
    struct Reply {
        int code = 0;
        QStringList text;
    };

    // The settings stay with their owner; the client reads them at each step.
    TSmtpClient(SmtpClientSettings& settings, const Clock& clock, const TSslIoHandler& tls);
    ~TSmtpClient();
    TSmtpClient(const TSmtpClient&) = delete;
    TSmtpClient& operator=(const TSmtpClient&) = delete;

    // Host, port, account and authentication, as the settings page keeps them.
    SmtpClientSettings& settings() { return settings_; }
    const SmtpClientSettings& settings() const { return settings_; }

    // The SSL layer: attached, the connection speaks TLS from its first
    // byte; detached, it is plain text and upgrades with STARTTLS when the
    // server offers it.
    void setIOHandler(const TSslIoHandler* handler) { IOHandler_ = handler; }
    const TSslIoHandler* IOHandler() const { return IOHandler_; }

    QString HeloName;   // empty: the computer's host name
    QString MailAgent;  // the X-Mailer header; empty: none
    std::chrono::milliseconds ReadTimeout{30000};
    int MaxLineLength = 16384;

    void Connect();
    void Send(const TMailMessage& message);
    // Writes QUIT and closes without waiting for a reply; forgets the
    // authentication. Does nothing more without a connection.
    void Disconnect();

    bool Connected() const { return stream_ != nullptr; }
    // The authentication mechanisms the server advertised after EHLO.
    const QStringList& mechanisms() const { return mechanisms_; }
    bool encrypted() const { return encrypted_; }
    const Reply& lastReply() const { return lastReply_; }

private:
    void connectOnWorker();
    void greet();
    void startTls();
    void disconnectOnWorker();

    // A stream that fails here is gone: the connection counts as closed.
    void writeLine(const QByteArray& line);
    Reply readReply();
    QByteArray readLine(Deadline deadline);
    // Sends a command and checks the reply's code against the accepted ones
    // (none: any code); returns the reply.
    Reply command(const QByteArray& line, std::initializer_list<int> accepted);
    void expect(const Reply& reply, std::initializer_list<int> accepted);

    const Clock& clock_;
    const TSslIoHandler& tls_;
    const TSslIoHandler* IOHandler_ = nullptr;
    SmtpClientSettings& settings_;

    std::unique_ptr<ByteStream> stream_;
    QByteArray input_;
    QStringList mechanisms_;
    bool eightBitMime_ = false;
    bool offersStartTls_ = false;
    bool encrypted_ = false;
    bool authenticated_ = false;
    Reply lastReply_;
    // Last, so it stops before the connection it works on is released.
    BlockingWorker worker_;
};

}  // namespace quindra
