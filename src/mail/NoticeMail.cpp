#include "mail/NoticeMail.h"

#include <QFileInfo>

#include "core/Clock.h"
#include "core/MessageLog.h"
#include "core/ShownName.h"

namespace quindra {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kSender = QStringLiteral("Quindra Vizudu");

}  // namespace

QString ComputerLine() {
    return QStringLiteral("Enviado pelo computador: %1").arg(ComputerName());
}

QString SenderAddress(const QString& sender, const QString& recipient) {
    return sender.trimmed().isEmpty() ? recipient : sender.trimmed();
}

std::optional<MailFault> UnsafeAddressFault(const MailMessage& m, const QString& sender) {
    if (HoldsControlCharacter(sender))
        return MailFault::SenderControlCharacter;
    if (m.holdsUnsafeAddress())
        return MailFault::ControlCharacter;
    return std::nullopt;
}

void NoticeMail::compose(Type type) {
    MailMessage& m = p_.desk.message;
    p_.notices.setPending(true);
    m.body << QStringLiteral("Quindra Vizudu envio de email!!!") << kCrLf;
    if (type == MailNotices::MessageSwapped) {
        m.body << QStringLiteral("Ocorreu uma troca de arquivo de áudio.") << kCrLf
               << QStringLiteral("O nome do arquivo anterior é: ") +
                      ShownName(p_.onAir.history.previousFile) + QLatin1Char('.')
               << kCrLf
               << QStringLiteral("O nome do arquivo atual é: ") +
                      ShownName(QFileInfo(p_.onAir.file).fileName()) + QLatin1Char('.');
        // What the message will sound like on the phone, as the status log
        // said it after the swap.
        // The notice travels in ISO-8859-1, which has no minus sign.
        if (!p_.onAir.soundNotes.isEmpty()) {
            m.body << kCrLf;
            for (QString note : p_.onAir.soundNotes)
                m.body << note.replace(QChar(0x2212), QLatin1Char('-'));
        }
    } else {
        const QDateTime now = p_.clock.now();
        m.body << (type == MailNotices::HardwareDisconnected
                       ? QStringLiteral("O Quindra Vizudu foi desconectada do computador:")
                       : QStringLiteral("O Quindra Vizudu foi reconectada ao computador:"))
               << kCrLf
               << QStringLiteral("Data: ") + p_.formats.shortDate(now.date()) +
                      QStringLiteral("  Hora: ") + p_.formats.longTime(now.time());
    }
    m.body << kCrLf << ComputerLine();
    const QString& sendTo = p_.notices.recipient();
    m.from.name = kSender;
    m.from.address = SenderAddress(p_.notices.sender(), sendTo);
    m.recipients.setFromText(sendTo);
    m.priority = MailPriority::Highest;
    m.setExtraHeader(QStringLiteral("Message-ID"), NewMessageId(ComputerName()));
    switch (type) {
        case MailNotices::MessageSwapped:
            m.subject = QStringLiteral("Quindra Vizudu troca de arquivo de áudio.");
            p_.log.write(QStringLiteral("Enviando e-mail de troca de arquivo de áudio."));
            break;
        case MailNotices::HardwareDisconnected:
            m.subject = QStringLiteral("Quindra Vizudu aviso de Hardware Desconectado.");
            p_.log.write(QStringLiteral("Enviando e-mail de hardware desconectado."));
            break;
        case MailNotices::HardwareReconnected:
            m.subject = QStringLiteral("Quindra Vizudu aviso de Hardware reconectado.");
            p_.log.write(QStringLiteral("Enviando e-mail de hardware reconectado."));
            break;
    }
}

std::exception_ptr NoticeMail::plainAttempt() {
    try {
        p_.desk.client.connect();
        p_.desk.client.send(p_.desk.message);
        return nullptr;
    } catch (const std::exception&) {
        return std::current_exception();
    }
}

void NoticeMail::send(Type type) {
    const bool chosen = type == MailNotices::MessageSwapped ? p_.notices.flags().onSwap
                                                            : p_.notices.flags().onHardware;
    if (chosen)
        compose(type);
    if (!p_.notices.flags().pending)
        return;
    MailMessage& m = p_.desk.message;
    SmtpClient& smtp = p_.desk.client;
    // A pending notice whose message has since been emptied (by a final
    // failure, or by a settings test that took it along) is nothing to send.
    if (m.isEmpty()) {
        p_.notices.setPending(false);
        return;
    }
    // Nothing goes out to an address that could rewrite the envelope; the
    // notice waits for a recipient that can be used.
    if (const auto unsafe = UnsafeAddressFault(m, p_.notices.sender())) {
        notSent(MailError({}, *unsafe));
        return;
    }

    if (p_.notices.flags().secure) {
        smtp.useTls(&p_.desk.tls);
        try {
            smtp.connect();
            try {
                smtp.send(m);
            } catch (...) {
                smtp.disconnect();
                throw;
            }
            smtp.disconnect();
        } catch (const std::exception& e) {
            if (FaultOf(e) == MailFault::Abandoned) {
                notSent(e);
                return;
            }
            // The journal keeps the failure even when nobody is there to
            // read the box.
            failed(e);
            throw;
        }
    } else {
        // Plain text means plain text, whatever an earlier secure send did.
        smtp.useTls(nullptr);
        std::exception_ptr failure = plainAttempt();
        smtp.disconnect();
        if (failure && !abandoned(failure)) {
            smtp.settings().auth = SmtpClientSettings::Auth::Login;
            failure = plainAttempt();
            smtp.disconnect();
        }
        if (failure) {
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& e) {
                if (FaultOf(e) == MailFault::Abandoned) {
                    notSent(e);
                    return;
                }
                m.clear();
                failed(e);
            }
            return;
        }
    }
    m.clear();
    p_.notices.setPending(false);
    p_.log.write(QStringLiteral("E-mail enviado com sucesso."));
}

bool NoticeMail::abandoned(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return FaultOf(e) == MailFault::Abandoned;
    }
}

void NoticeMail::failed(const std::exception& e) {
    p_.log.write(QStringLiteral("Erro ao enviar e-mail."));
    p_.log.write(MailReasonLine(e, p_.desk.client.readTimeout));
}

void NoticeMail::notSent(const std::exception& e) {
    p_.log.write(QStringLiteral("E-mail não enviado: %1.")
                     .arg(MailFailureReason(e, p_.desk.client.readTimeout)));
}

}  // namespace quindra
