#include "mail/MailFailure.h"

namespace quindra {

MailFault FaultOf(const std::exception& e) {
    if (auto* mail = dynamic_cast<const MailError*>(&e))
        return mail->fault();
    return MailFault::Other;
}

QString MailFailureReason(const std::exception& e, std::chrono::milliseconds replyLimit) {
    const auto* mail = dynamic_cast<const MailError*>(&e);
    const int code = mail ? mail->code() : 0;
    switch (FaultOf(e)) {
        case MailFault::NetworkFailure:
            return QStringLiteral("falha de rede (erro %1)").arg(code);
        case MailFault::NameNotFound:
            return QStringLiteral("o nome do servidor não foi encontrado");
        case MailFault::ConnectionRefused:
            return QStringLiteral("o servidor recusou a conexão nesta porta");
        case MailFault::NoAnswer:
            return QStringLiteral("o servidor não respondeu em %1 s")
                .arg(std::chrono::duration_cast<std::chrono::seconds>(replyLimit).count());
        case MailFault::ConnectionLost:
            return QStringLiteral("o servidor encerrou a conexão");
        case MailFault::ReplyTooLong:
            return QStringLiteral("o servidor enviou uma resposta longa demais");
        case MailFault::ServerRefused:
            return QStringLiteral("o servidor recusou o e-mail (código %1)").arg(code);
        case MailFault::PasswordRefused:
            return QStringLiteral("o servidor recusou o usuário ou a senha");
        case MailFault::CertificateUntrusted:
            return QStringLiteral("o certificado do servidor não é de uma autoridade confiável");
        case MailFault::CertificateExpired:
            return QStringLiteral("o certificado do servidor está fora da validade");
        case MailFault::CertificateForOtherName:
            return QStringLiteral("o certificado do servidor é de outro nome");
        case MailFault::TlsVersionRefused:
            return QStringLiteral(
                "o servidor só aceita versões antigas do TLS, recusadas por segurança");
        case MailFault::NotTlsPort:
            return QStringLiteral(
                "a porta do servidor não usa TLS, mas \"Autenticação Segura\" está marcada");
        case MailFault::TlsFailure:
            return QStringLiteral("a conexão segura com o servidor falhou");
        case MailFault::ControlCharacter:
            return QStringLiteral("o endereço em \"Enviar para\" tem um caractere de controle");
        case MailFault::SenderControlCharacter:
            return QStringLiteral("o endereço em \"De:\" tem um caractere de controle");
        case MailFault::Abandoned:
            return QStringLiteral("o sistema foi finalizado durante o envio");
        case MailFault::Other:
            break;
    }
    return QStringLiteral("falha inesperada no envio");
}

QString MailReasonLine(const std::exception& e, std::chrono::milliseconds replyLimit) {
    return QStringLiteral("Motivo: %1.").arg(MailFailureReason(e, replyLimit));
}

bool HoldsControlCharacter(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            return true;
    }
    return false;
}

}  // namespace quindra
