#include "mail/SettingsTestMail.h"

#include "core/FormView.h"
#include "mail/InfoBox.h"

namespace quindra {

namespace {

const QString kSuccess = QStringLiteral("E-mail enviado com sucesso!!!");

}  // namespace

bool SettingsTestMail::plainAttempt(const TMailMessage& mail) {
    TSmtpClient& smtp = p_.desk.SMTP;
    smtp.setIOHandler(nullptr);
    try {
        smtp.Connect();
        smtp.Send(mail);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void SettingsTestMail::Button2Click() {
    TMailMessage& corpo = p_.desk.EmailCorpo;
    TSmtpClient& smtp = p_.desk.SMTP;
    const QString crlf = QStringLiteral("\r\n");

    // The test takes whatever the message holds (a notice still pending goes
    // out at its head) and leaves the message empty, however it ends. It
    // sends its own copy, so a notice that falls due while a box is open
    // composes into an empty message.
    TMailMessage mail;
    {
        struct ClearAtEnd {
            TMailMessage& m;
            ~ClearAtEnd() { m.Clear(); }
        } clear{corpo};
        const QString sendTo = p_.view.fieldText(Field::edSendTo);
        corpo.Body << QStringLiteral("SUCESSO NO ENVIO") << crlf
                   << QStringLiteral("Quindra Vizudu envio de E-mail!!!") << crlf << crlf
                   << QStringLiteral("Teste Efetuado com Sucesso.");
        corpo.From.Name = QStringLiteral("Quindra Vizudu");
        corpo.From.Address = sendTo;
        corpo.Recipients.AssignAddressText(sendTo);
        corpo.Priority = TMailPriority::mpHighest;
        corpo.Subject = QStringLiteral("TESTE DE ENVIO DE E-MAIL Quindra Vizudu");
        mail = corpo;
    }

    SmtpClientSettings& s = smtp.settings();
    s.host = p_.view.fieldText(Field::edServerSMTP);
    s.auth = SmtpClientSettings::Auth::Login;
    s.port = p_.portNumber(p_.view.fieldText(Field::edPortaSMTP));
    s.user = p_.view.fieldText(Field::edUserSMTP);
    s.password = p_.view.fieldText(Field::edSenhaSMTP);

    if (p_.view.checked(Box::cbAutenticaSeguro)) {
        smtp.setIOHandler(&p_.desk.SSLSocket);
        smtp.Connect();
        bool sent = true;
        try {
            smtp.Send(mail);
        } catch (const std::exception&) {
            sent = false;
        }
        smtp.Disconnect();
        p_.boxes.showInfo(sent ? kSuccess : QStringLiteral("Erro ao enviar E-mail!!!"));
        return;
    }

    if (plainAttempt(mail)) {
        smtp.Disconnect();
        p_.boxes.showInfo(kSuccess);
        return;
    }
    smtp.Disconnect();
    p_.boxes.showInfo(QStringLiteral("Ocorreu um erro verifique suas configurações"));
    s.host = p_.view.fieldText(Field::edServerSMTP);
    s.auth = SmtpClientSettings::Auth::Login;
    const bool sent = plainAttempt(mail);
    smtp.Disconnect();
    p_.boxes.showInfo(sent ? kSuccess
                           : QStringLiteral("Ocorreu um erro verifique suas configurações."));
}

}  // namespace quindra
