#include "mail/SettingsTestMail.h"

#include "mail/InfoBox.h"

namespace quindra {

namespace {

const QString kSuccess = QStringLiteral("E-mail enviado com sucesso!!!");

}  // namespace

bool SettingsTestMail::plainAttempt(const MailMessage& mail) {
    SmtpClient& smtp = p_.desk.client;
    smtp.useTls(nullptr);
    try {
        smtp.connect();
        smtp.send(mail);
        return true;
    } catch (const std::exception&) {
        return false;
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

    if (settings.secure) {
        smtp.useTls(&p_.desk.tls);
        smtp.connect();
        bool sent = true;
        try {
            smtp.send(mail);
        } catch (const std::exception&) {
            sent = false;
        }
        smtp.disconnect();
        p_.boxes.showInfo(sent ? kSuccess : QStringLiteral("Erro ao enviar E-mail!!!"));
        return;
    }

    if (plainAttempt(mail)) {
        smtp.disconnect();
        p_.boxes.showInfo(kSuccess);
        return;
    }
    smtp.disconnect();
    p_.boxes.showInfo(QStringLiteral("Ocorreu um erro verifique suas configurações"));
    // The retry starts from the page's server again.
    s.host = settings.server.host;
    s.auth = SmtpClientSettings::Auth::Login;
    const bool sent = plainAttempt(mail);
    smtp.disconnect();
    p_.boxes.showInfo(sent ? kSuccess
                           : QStringLiteral("Ocorreu um erro verifique suas configurações."));
}

}  // namespace quindra
