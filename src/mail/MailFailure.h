#pragma once

#include <QString>
#include <chrono>
#include <exception>

#include "core/AppError.h"

namespace quindra {

// Why a mail did not go out, as the operator is told it. The notices and the
// "Teste" button take their reasons from here, so both say the same.
enum class MailFault {
    Other,
    NetworkFailure,           // code: the errno
    NameNotFound,             // the server's name does not resolve
    ConnectionRefused,        // nothing listens on the port
    NoAnswer,                 // past the reply limit
    ConnectionLost,           // the server closed the connection
    ReplyTooLong,             // a reply line past the client's limit
    ServerRefused,            // code: the reply's code
    PasswordRefused,          // the account was refused at AUTH
    CertificateUntrusted,     // not signed by a trusted authority (self-signed too)
    CertificateExpired,       // out of its validity dates
    CertificateForOtherName,  // issued for another host name
    TlsVersionRefused,        // the server offers only TLS older than 1.2
    NotTlsPort,               // plain text where TLS was expected
    TlsFailure,               // any other handshake or TLS fault
    ControlCharacter,         // the recipient text holding a control character
    SenderControlCharacter,   // the "De:" address holding a control character
    Abandoned,                // the program is stopping
};

// A mail failure that knows its fault. Its text is the one the caller shows
// as it stands (the transport's own texts are kept in their protocol form).
class MailError : public AppError {
public:
    MailError(QString text, MailFault fault, int code = 0)
        : AppError(std::move(text)), fault_(fault), code_(code) {}
    MailFault fault() const { return fault_; }
    int code() const { return code_; }

private:
    MailFault fault_;
    int code_;
};

// The fault behind any exception a mail step throws.
MailFault FaultOf(const std::exception& e);

// The reason in the operator's words, without a final period: "o servidor
// não respondeu em 30 s". replyLimit is the client's limit on each reply.
QString MailFailureReason(const std::exception& e, std::chrono::milliseconds replyLimit);

// The reason as a line of its own under a box's text or a log line:
// "Motivo: o servidor não respondeu em 30 s."
QString MailReasonLine(const std::exception& e, std::chrono::milliseconds replyLimit);

// Whether the text holds a control character (C0, DEL or C1): in an address
// it would end the SMTP command or the header line it stands in.
bool HoldsControlCharacter(const QString& text);

}  // namespace quindra
