#pragma once

#include <exception>
#include <optional>

#include "core/LocaleFormats.h"
#include "core/Runtime.h"
#include "mail/MailMessage.h"
#include "mail/MailNotices.h"
#include "mail/SmtpClient.h"

namespace quindra {

class Clock;
class MessageLog;

// What the notices and the settings test share: the one message, the SMTP
// client and its TLS layer.
struct MailDesk {
    MailMessage& message;
    SmtpClient& client;
    const TlsLayer& tls;
};

// The body line that names the computer the mail was sent from.
QString ComputerLine();
// The sender address of a mail: the "De:" text, or the recipient text when
// it is empty.
QString SenderAddress(const QString& sender, const QString& recipient);
// Why a composed mail must not go out: an address in it holds a control
// character (in "De:" when sender holds it); nothing when all are usable.
std::optional<MailFault> UnsafeAddressFault(const MailMessage& m, const QString& sender);

// Composes a notice into the shared message and sends it: inside TLS when
// secure mail is chosen, otherwise in plain text with one retry.
class NoticeMail {
public:
    using Type = MailNotices::Type;

    struct Ports {
        MailDesk desk;
        // The options and the recipient to read, and the pending flag to keep.
        MailNotices& notices;
        MessageLog& log;
        const Clock& clock;
        const LocaleFormats& formats;
        // The message on air and the one before it, for the swap notice.
        const MessageOnAir& onAir;
    };

    explicit NoticeMail(Ports ports) : p_(ports) {}

    // A failure of the secure path, or a recipient text that cannot be
    // parsed, is thrown to the caller; the notice then stays pending. Every
    // failure to send is written with its reason; a notice that cannot go out
    // (an unusable address, the program stopping) is written as not sent and
    // stays pending.
    void send(Type type);

private:
    void compose(Type type);
    // Connects and sends; the failure, if any.
    std::exception_ptr plainAttempt();
    static bool abandoned(const std::exception_ptr& failure);
    void failed(const std::exception& e);
    void notSent(const std::exception& e);

    Ports p_;
};

}  // namespace quindra
