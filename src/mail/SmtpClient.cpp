#include "mail/SmtpClient.h"

#include <unistd.h>
#include <climits>

#include "core/Clock.h"

namespace quindra {

QString ComputerName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return QStringLiteral("localhost");
    return QString::fromUtf8(name);
}

namespace {

// An address inside an SMTP command or a header line: a line break in it
// would end the command and start one of the sender's choosing, so an
// address holding any control character sends nothing at all.
void refuseControlCharacters(const MailMessage& m) {
    if (m.holdsUnsafeAddress())
        throw MailError(QStringLiteral("O endereço de e-mail tem um caractere de controle."),
                        MailFault::ControlCharacter);
}

}  // namespace

SmtpClient::SmtpClient(SmtpClientSettings& settings, const Clock& clock, const TlsLayer& startTls)
    : clock_(clock), startTls_(startTls), settings_(settings), abort_(ownAbort_) {}

SmtpClient::SmtpClient(SmtpClientSettings& settings, const Clock& clock, const TlsLayer& startTls,
                       const AbortSwitch& abort)
    : clock_(clock), startTls_(startTls), settings_(settings), abort_(abort) {}

SmtpClient::~SmtpClient() {
    try {
        disconnect();
    } catch (...) {
    }
}

void SmtpClient::connect() {
    worker_.run([this] { connectOnWorker(); });
}

void SmtpClient::send(const MailMessage& message) {
    refuseControlCharacters(message);
    MailMessage copy = message;
    copy.setExtraHeader(QStringLiteral("X-Mailer"), mailAgent);
    const TransferEncoding enc = wire::chooseEncoding(copy, eightBitMime_);
    const QByteArray data = wire::dataSection(copy, clock_.now(), enc);
    worker_.run([&] {
        if (!stream_)
            throw AppError(QStringLiteral("Not Connected."));
        command("RSET", {});
        if (settings_.auth == SmtpClientSettings::Auth::Login &&
            mechanisms_.contains(QStringLiteral("LOGIN")) && !authenticated_) {
            command("AUTH LOGIN", {334});
            command(settings_.user.toUtf8().toBase64(), {334}, MailFault::PasswordRefused);
            command(settings_.password.toUtf8().toBase64(), {235}, MailFault::PasswordRefused);
            authenticated_ = true;
        }
        QByteArray from = "MAIL FROM:<" + wire::latin1(copy.from.address) + ">";
        if (enc == TransferEncoding::EightBit)
            from += " BODY=8BITMIME";
        command(from, {250});
        for (const MailAddressList* list : {&copy.recipients, &copy.cc, &copy.bcc})
            for (const MailAddress& item : *list)
                command("RCPT TO:<" + wire::latin1(item.address) + ">", {250, 251});
        command("DATA", {354});
        writeLine(data + ".");
        expect(readReply(), {250});
    });
}

void SmtpClient::disconnect() {
    worker_.run([this] { disconnectOnWorker(); });
}

void SmtpClient::connectOnWorker() {
    if (stream_)
        throw AppError(QStringLiteral("Already connected."));
    UniqueFd socket = connectTcp(settings_.host, settings_.port, deadline());
    input_.clear();
    encrypted_ = false;
    if (tls_) {
        try {
            stream_ = tls_->handshake(std::move(socket), settings_.host, deadline());
        } catch (const MailError& e) {
            // A server that speaks only old TLS often hangs up at a modern
            // hello without a word; asking once more with old versions alone
            // tells the operator why.
            if (e.fault() == MailFault::ConnectionLost && speaksOnlyOldTls())
                throw MailError(e.text(), MailFault::TlsVersionRefused, e.code());
            throw;
        }
        encrypted_ = true;
    } else {
        stream_ = std::make_unique<PlainStream>(std::move(socket));
    }
    try {
        greet();
    } catch (...) {
        disconnectOnWorker();
        throw;
    }
}

bool SmtpClient::speaksOnlyOldTls() {
    try {
        return tls_->speaksOldTls(connectTcp(settings_.host, settings_.port, deadline()),
                                  settings_.host, deadline());
    } catch (const MailError&) {
        return false;
    }
}

void SmtpClient::greet() {
    expect(readReply(), {220});
    mechanisms_.clear();
    eightBitMime_ = false;
    offersStartTls_ = false;
    const QByteArray name = (heloName.isEmpty() ? ComputerName() : heloName).toUtf8();

    const auto collect = [this](const Reply& ehlo) {
        mechanisms_.clear();
        eightBitMime_ = false;
        offersStartTls_ = false;
        for (const QString& line : ehlo.text) {
            const QString upper = line.toUpper();
            if (upper.startsWith(QLatin1String("AUTH ")) ||
                upper.startsWith(QLatin1String("AUTH="))) {
                QString list = upper.mid(4);
                list.replace(QLatin1Char('='), QLatin1Char(' '));
                for (const QString& word : list.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                    if (!mechanisms_.contains(word))
                        mechanisms_.append(word);
            }
            const QString keyword = upper.section(QLatin1Char(' '), 0, 0);
            eightBitMime_ = eightBitMime_ || keyword == QLatin1String("8BITMIME");
            offersStartTls_ = offersStartTls_ || keyword == QLatin1String("STARTTLS");
        }
    };

    const Reply ehlo = command("EHLO " + name, {});
    if (ehlo.code != 250) {
        command("HELO " + name, {250});
        return;
    }
    collect(ehlo);
    // The password must not cross the network in clear when the server
    // offers encryption.
    if (!encrypted_ && offersStartTls_) {
        upgradeToTls();
        collect(command("EHLO " + name, {250}));
    }
}

void SmtpClient::upgradeToTls() {
    command("STARTTLS", {220});
    UniqueFd socket = stream_->takeSocket();
    stream_.reset();
    input_.clear();
    stream_ = startTls_.handshake(std::move(socket), settings_.host, deadline());
    encrypted_ = true;
}

void SmtpClient::disconnectOnWorker() {
    if (stream_) {
        try {
            writeLine("QUIT");
        } catch (...) {
            // The connection is closed below either way.
        }
    }
    stream_.reset();
    input_.clear();
    authenticated_ = false;
    encrypted_ = false;
}

void SmtpClient::throughStream(const std::function<void()>& io) {
    if (!stream_)
        throw ConnectionClosed();
    try {
        io();
    } catch (const TimedOut&) {
        throw;
    } catch (...) {
        stream_.reset();
        input_.clear();
        throw;
    }
}

void SmtpClient::writeLine(const QByteArray& line) {
    throughStream([&] { stream_->writeAll(line + "\r\n", deadline()); });
}

QByteArray SmtpClient::readLine(Deadline limit) {
    for (;;) {
        const qsizetype lf = input_.indexOf('\n');
        qsizetype length = lf < 0 ? input_.size() : lf;
        if (length > 0 && input_[length - 1] == '\r')
            --length;
        if (length > maxLineLength) {
            input_.clear();
            throw MailError(QStringLiteral("Max line length exceeded."), MailFault::ReplyTooLong);
        }
        if (lf >= 0) {
            const QByteArray line = input_.left(length);
            input_.remove(0, lf + 1);
            return line;
        }
        throughStream([&] { input_ += stream_->readSome(limit); });
    }
}

SmtpClient::Reply SmtpClient::readReply() {
    const Deadline limit = deadline();
    const auto next = [&] {
        for (;;) {
            const QByteArray line = readLine(limit).trimmed();
            if (!line.isEmpty())
                return QString::fromUtf8(line);
        }
    };
    Reply reply;
    const QString first = next();
    const QString code = first.left(3);
    bool ok = false;
    reply.code = code.toInt(&ok);
    if (!ok || code.size() != 3)
        reply.code = -1;
    reply.text.append(first.mid(4));
    if (first.size() >= 4 && first[3] == QLatin1Char('-')) {
        for (;;) {
            const QString line = next();
            const bool ours = line.startsWith(code);
            reply.text.append(ours ? line.mid(4) : line);
            if (line.size() < 4 || (ours && line[3] == QLatin1Char(' ')))
                break;
        }
    }
    lastReply_ = reply;
    return reply;
}

SmtpClient::Reply SmtpClient::command(const QByteArray& line, std::initializer_list<int> accepted,
                                      MailFault refused) {
    writeLine(line);
    Reply reply = readReply();
    expect(reply, accepted, refused);
    return reply;
}

void SmtpClient::expect(const Reply& reply, std::initializer_list<int> accepted,
                        MailFault refused) {
    if (accepted.size() == 0 ||
        std::find(accepted.begin(), accepted.end(), reply.code) != accepted.end())
        return;
    QString text;
    for (const QString& line : reply.text)
        text += line + QStringLiteral("\r\n");
    throw SmtpReplyError(reply.code, text, refused);
}

}  // namespace quindra
