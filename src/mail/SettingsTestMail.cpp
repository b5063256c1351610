#include "mail/SettingsTestMail.h"

#include "core/Clock.h"
#include "core/EventLoop.h"
#include "mail/InfoBox.h"
#include "mail/MailFailure.h"

namespace quindra {

namespace {

const QString kSuccess = QStringLiteral("E-mail enviado com sucesso!!!");

// The moment the test was started, for its Date header: the exchange's
// thread reads no clock of the UI thread.
class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime at) : at_(std::move(at)) {}
    QDateTime now() const override { return at_; }

private:
    QDateTime at_;
};

bool abandoned(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return FaultOf(e) == MailFault::Abandoned;
    }
}

}  // namespace

// Everything the exchange needs, copied on the UI thread.
struct SettingsTestMail::Job {
    MailMessage mail;
    SmtpClientSettings server;
    bool secure = false;
    QString heloName;
    QString mailAgent;
    std::chrono::milliseconds readTimeout{};
    int maxLineLength = 0;
    QDateTime now;
};

struct SettingsTestMail::Outcome {
    enum class Result { Sent, Failed, Abandoned };
    Result result = Result::Sent;
    bool secure = false;
    QString reason;  // when failed: why, in the operator's words
};

SettingsTestMail::SettingsTestMail(Ports ports) : p_(ports) {}

SettingsTestMail::~SettingsTestMail() {
    if (thread_.joinable()) {
        p_.desk.client.abortSwitch().trigger();
        thread_.join();
    }
}

bool SettingsTestMail::start(const MailSettings& settings, std::function<void()> done) {
    if (running_)
        return false;
    MailMessage& shared = p_.desk.message;
    SmtpClient& smtp = p_.desk.client;
    const QString crlf = QStringLiteral("\r\n");

    // The test takes whatever the message holds (a notice still pending goes
    // out at its head) and leaves the message empty, however it ends. It
    // sends its own copy, so a notice that falls due while it runs composes
    // into an empty message.
    Job job;
    {
        struct ClearAtEnd {
            MailMessage& m;
            ~ClearAtEnd() { m.clear(); }
        } clear{shared};
        shared.body << QStringLiteral("SUCESSO NO ENVIO") << crlf
                    << QStringLiteral("Quindra Vizudu envio de E-mail!!!") << crlf << crlf
                    << QStringLiteral("Teste Efetuado com Sucesso.") << crlf << ComputerLine();
        shared.from.name = QStringLiteral("Quindra Vizudu");
        shared.from.address = SenderAddress(settings.sender, settings.recipient);
        shared.recipients.setFromText(settings.recipient);
        shared.priority = MailPriority::Highest;
        shared.subject = QStringLiteral("TESTE DE ENVIO DE E-MAIL Quindra Vizudu");
        shared.setExtraHeader(QStringLiteral("Message-ID"), NewMessageId(ComputerName()));
        job.mail = shared;
    }

    SmtpClientSettings& s = smtp.settings();
    s = settings.server;
    s.auth = SmtpClientSettings::Auth::Login;

    // Nothing goes out to an address that could rewrite the envelope.
    if (const auto unsafe = UnsafeAddressFault(job.mail, settings.sender)) {
        if (done)
            done();
        p_.boxes.showInfo(QStringLiteral("E-mail não enviado: %1.")
                              .arg(MailFailureReason(MailError({}, *unsafe), smtp.readTimeout)));
        return true;
    }

    job.server = s;
    job.secure = settings.secure;
    job.heloName = smtp.heloName;
    job.mailAgent = smtp.mailAgent;
    job.readTimeout = smtp.readTimeout;
    job.maxLineLength = smtp.maxLineLength;
    job.now = p_.clock.now();

    // An ending from an earlier test has already run: its thread is done.
    if (thread_.joinable())
        thread_.join();
    running_ = true;
    thread_ = std::thread([this, job = std::move(job), done = std::move(done),
                           alive = std::weak_ptr<const bool>(alive_)] {
        const Outcome outcome = exchange(job, p_.desk.tls, p_.desk.client.abortSwitch());
        p_.loop.post([this, outcome, done, alive] {
            if (!alive.expired())
                finish(outcome, done);
        });
    });
    return true;
}

SettingsTestMail::Outcome SettingsTestMail::exchange(const Job& job, const TlsLayer& tls,
                                                     const AbortSwitch& abort) {
    FixedClock clock(job.now);
    SmtpClientSettings server = job.server;
    SmtpClient smtp(server, clock, tls, abort);
    smtp.heloName = job.heloName;
    smtp.mailAgent = job.mailAgent;
    smtp.readTimeout = job.readTimeout;
    smtp.maxLineLength = job.maxLineLength;
    smtp.useTls(job.secure ? &tls : nullptr);

    const auto attempt = [&]() -> std::exception_ptr {
        std::exception_ptr failure;
        try {
            smtp.connect();
            smtp.send(job.mail);
        } catch (const std::exception&) {
            failure = std::current_exception();
        }
        smtp.disconnect();
        return failure;
    };

    // In plain text a failed attempt is tried once more from the page's
    // server; inside TLS there is one attempt.
    std::exception_ptr failure = attempt();
    if (failure && !job.secure && !abandoned(failure)) {
        server.host = job.server.host;
        server.auth = SmtpClientSettings::Auth::Login;
        failure = attempt();
    }
    Outcome outcome;
    outcome.secure = job.secure;
    if (!failure)
        return outcome;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        if (FaultOf(e) == MailFault::Abandoned) {
            outcome.result = Outcome::Result::Abandoned;
        } else {
            outcome.result = Outcome::Result::Failed;
            outcome.reason = MailReasonLine(e, job.readTimeout);
        }
    }
    return outcome;
}

void SettingsTestMail::finish(const Outcome& outcome, const std::function<void()>& done) {
    if (thread_.joinable())
        thread_.join();
    running_ = false;
    if (done)
        done();
    // An exchange abandoned because the program is stopping shows no box:
    // nobody would answer it.
    switch (outcome.result) {
        case Outcome::Result::Sent:
            p_.boxes.showInfo(kSuccess);
            break;
        case Outcome::Result::Failed:
            p_.boxes.showInfo(
                (outcome.secure ? QStringLiteral("Erro ao enviar E-mail!!!")
                                : QStringLiteral("Ocorreu um erro verifique suas configurações.")) +
                QLatin1Char('\n') + outcome.reason);
            break;
        case Outcome::Result::Abandoned:
            break;
    }
}

}  // namespace quindra
