#include "mail/NoticeMail.h"

#include "core/Clock.h"
#include "core/FormView.h"
#include "core/MessageLog.h"

namespace quindra {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kSender = QStringLiteral("Quindra Vizudu");

}  // namespace

void NoticeMail::compose(Type type) {
    TMailMessage& m = p_.desk.EmailCorpo;
    p_.notices.setMailPending(true);
    m.Body << QStringLiteral("Quindra Vizudu envio de email!!!") << kCrLf;
    if (type == MailNotices::MessageSwapped) {
        m.Body << QStringLiteral("Ocorreu uma troca de arquivo de áudio.") << kCrLf
               << QStringLiteral("O nome do arquivo anterior é: ") +
                      p_.view.label(Label::lbArquivoAnterior) + QLatin1Char('.')
               << kCrLf
               << QStringLiteral("O nome do arquivo atual é: ") + p_.view.label(Label::lbArquivo) +
                      QLatin1Char('.');
    } else {
        const QDateTime now = p_.clock.now();
        m.Body << (type == MailNotices::HardwareDisconnected
                       ? QStringLiteral("O Quindra Vizudu foi desconectada do computador:")
                       : QStringLiteral("O Quindra Vizudu foi reconectada ao computador:"))
               << kCrLf
               << QStringLiteral("Data: ") + p_.formats.shortDate(now.date()) +
                      QStringLiteral("  Hora: ") + p_.formats.longTime(now.time());
    }
    const QString sendTo = p_.view.fieldText(Field::edSendTo);
    m.From.Name = kSender;
    m.From.Address = sendTo;
    m.Recipients.AssignAddressText(sendTo);
    m.Priority = TMailPriority::mpHighest;
    switch (type) {
        case MailNotices::MessageSwapped:
            m.Subject = QStringLiteral("Quindra Vizudu troca de arquivo de áudio.");
            p_.log.write(QStringLiteral("Enviando e-mail de troca de arquivo de áudio."));
            break;
        case MailNotices::HardwareDisconnected:
            m.Subject = QStringLiteral("Quindra Vizudu aviso de Hardware Desconectado.");
            p_.log.write(QStringLiteral("Enviando e-mail de hardware desconectado."));
            break;
        case MailNotices::HardwareReconnected:
            m.Subject = QStringLiteral("Quindra Vizudu aviso de Hardware reconectado.");
            p_.log.write(QStringLiteral("Enviando e-mail de hardware reconectado."));
            break;
    }
}

bool NoticeMail::plainAttempt() {
    try {
        p_.desk.SMTP.Connect();
        p_.desk.SMTP.Send(p_.desk.EmailCorpo);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void NoticeMail::EnviaEmail(Type type) {
    const bool chosen = type == MailNotices::MessageSwapped ? p_.notices.flags().TrocaMsgFlag
                                                            : p_.notices.flags().HardDescFlag;
    if (chosen)
        compose(type);
    if (!p_.notices.flags().MailPending)
        return;
    TMailMessage& m = p_.desk.EmailCorpo;
    TSmtpClient& smtp = p_.desk.SMTP;
    // A pending notice whose message has since been emptied (by a final
    // failure, or by a settings test that took it along) is nothing to send.
    if (m.isEmpty()) {
        p_.notices.setMailPending(false);
        return;
    }

    if (p_.notices.flags().AuthSeguroFlag) {
        smtp.setIOHandler(&p_.desk.SSLSocket);
        smtp.Connect();
        try {
            smtp.Send(m);
        } catch (...) {
            smtp.Disconnect();
            throw;
        }
        smtp.Disconnect();
    } else {
        // Plain text means plain text, whatever an earlier secure send did.
        smtp.setIOHandler(nullptr);
        if (!plainAttempt()) {
            smtp.Disconnect();
            smtp.settings().host = p_.view.fieldText(Field::edServerSMTP);
            smtp.settings().auth = SmtpClientSettings::Auth::Login;
            if (!plainAttempt()) {
                smtp.Disconnect();
                m.Clear();
                p_.log.write(QStringLiteral("Erro ao enviar e-mail."));
                return;
            }
        }
        smtp.Disconnect();
    }
    m.Clear();
    p_.notices.setMailPending(false);
    p_.log.write(QStringLiteral("E-mail enviado com sucesso."));
}

}  // namespace quindra
