#pragma once

#include "core/LocaleFormats.h"
#include "mail/MailMessage.h"
#include "mail/MailNotices.h"
#include "mail/SmtpClient.h"

namespace quindra {

class Clock;
class FormView;
class MessageLog;

// What the notices and the settings test share: the one message, the SMTP
// client and its SSL layer.
struct MailDesk {
    TMailMessage& EmailCorpo;
    TSmtpClient& SMTP;
    const TSslIoHandler& SSLSocket;
};

// Composes a notice into the shared message and sends it: inside TLS when
// secure mail is chosen, otherwise in plain text with one retry.
class NoticeMail {
public:
    using Type = MailNotices::Type;

    struct Ports {
        MailDesk desk;
        // The options to read, and MailPending to keep.
        MailNotices& notices;
        MessageLog& log;
        const Clock& clock;
        const LocaleFormats& formats;
        const FormView& view;
    };

    explicit NoticeMail(Ports ports) : p_(ports) {}

    // A failure of the secure path, or a recipient text that cannot be
    // parsed, is thrown to the caller; the notice then stays pending.
    void EnviaEmail(Type type);

private:
    void compose(Type type);
    bool plainAttempt();

    Ports p_;
};

}  // namespace quindra
