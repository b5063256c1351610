#include "mail/SettingsTestMail.h"

#include "mail/InfoBox.h"
#include "mail/MailFailure.h"

namespace quindra {

namespace {

const QString kSuccess = QStringLiteral("E-mail enviado com sucesso!!!");

}  // namespace

SettingsTestMail::Outcome SettingsTestMail::plainAttempt(const MailMessage& mail) {
    SmtpClient& smtp = p_.desk.client;
    smtp.useTls(nullptr);
    try {
        smtp.connect();
        smtp.send(mail);
        return Outcome::Sent;
    } catch (const std::exception& e) {
        return FaultOf(e) == MailFault::Abandoned ? Outcome::Abandoned : Outcome::Failed;
    }
}

void SettingsTestMail::send(const MailSettings& settings) {
    MailMessage& shared = p_.desk.message;
    SmtpClient& smtp = p_.desk.client;
    const QString crlf = QStringLiteral("\r\n");

    // The test takes whatever the message holds (a notice still pending goes
    // out at its head) and leaves the message empty, however it ends. It
    // sends its own copy, so a notice that falls due while a box is open
    // composes into an empty message.
    MailMessage mail;
    {
        struct ClearAtEnd {
            MailMessage& m;
            ~ClearAtEnd() { m.clear(); }
        } clear{shared};
        shared.body << QStringLiteral("SUCESSO NO ENVIO") << crlf
                    << QStringLiteral("Quindra Vizudu envio de E-mail!!!") << crlf << crlf
                    << QStringLiteral("Teste Efetuado com Sucesso.");
        shared.from.name = QStringLiteral("Quindra Vizudu");
        shared.from.address = settings.recipient;
        shared.recipients.setFromText(settings.recipient);
        shared.priority = MailPriority::Highest;
        shared.subject = QStringLiteral("TESTE DE ENVIO DE E-MAIL Quindra Vizudu");
        mail = shared;
    }

    SmtpClientSettings& s = smtp.settings();
    s = settings.server;
    s.auth = SmtpClientSettings::Auth::Login;

    // Nothing goes out to an address that could rewrite the envelope.
    if (mail.holdsUnsafeAddress()) {
        p_.boxes.showInfo(
            QStringLiteral("E-mail não enviado: %1.")
                .arg(MailFailureReason(MailError({}, MailFault::ControlCharacter), {})));
        return;
    }

    // An exchange abandoned because the program is stopping shows no box:
    // nobody would answer it.
    if (settings.secure) {
        smtp.useTls(&p_.desk.tls);
        try {
            smtp.connect();
        } catch (const std::exception& e) {
            if (FaultOf(e) == MailFault::Abandoned)
                return;
            throw;
        }
        Outcome outcome = Outcome::Sent;
        try {
            smtp.send(mail);
        } catch (const std::exception& e) {
            outcome = FaultOf(e) == MailFault::Abandoned ? Outcome::Abandoned : Outcome::Failed;
        }
        smtp.disconnect();
        if (outcome != Outcome::Abandoned)
            p_.boxes.showInfo(
                outcome == Outcome::Sent ? kSuccess : QStringLiteral("Erro ao enviar E-mail!!!"));
        return;
    }

    Outcome outcome = plainAttempt(mail);
    smtp.disconnect();
    if (outcome == Outcome::Sent)
        p_.boxes.showInfo(kSuccess);
    if (outcome != Outcome::Failed)
        return;
    p_.boxes.showInfo(QStringLiteral("Ocorreu um erro verifique suas configurações"));
    // The retry starts from the page's server again.
    s.host = settings.server.host;
    s.auth = SmtpClientSettings::Auth::Login;
    outcome = plainAttempt(mail);
    smtp.disconnect();
    if (outcome != Outcome::Abandoned)
        p_.boxes.showInfo(outcome == Outcome::Sent
                              ? kSuccess
                              : QStringLiteral("Ocorreu um erro verifique suas configurações."));
}

}  // namespace quindra
