#pragma once

#include "core/LocaleFormats.h"
#include "core/Runtime.h"
#include "mail/MailMessage.h"
#include "mail/MailNotices.h"
#include "mail/MailSettings.h"
#include "mail/NoticeMail.h"
#include "mail/SettingsTestMail.h"
#include "mail/SmtpClient.h"
#include "mail/TlsLayer.h"

namespace quindra {

class Clock;
class InfoBox;
class MessageLog;

// Where the mail goes out: the one message, the SMTP client with its TLS
// layer, the notices' sender (put into MailNotices' send) and the "Teste"
// button. The client works with the SMTP settings MailNotices keeps.
class MailOffice {
public:
    struct Ports {
        MessageLog& log;
        const Clock& clock;
        LocaleFormats formats;
        // The message on air, quoted by the swap notice.
        const MessageOnAir& onAir;
        InfoBox& boxes;
    };

    MailOffice(MailNotices& notices, Ports ports);
    ~MailOffice();
    MailOffice(const MailOffice&) = delete;
    MailOffice& operator=(const MailOffice&) = delete;

    void sendNotice(MailNotices::Type type) { notice_.send(type); }
    // Starts the "Teste" mail; done runs on the UI thread once its box is
    // closed. False (and nothing done) while a test still runs.
    bool sendTestMail(const MailSettings& settings, std::function<void()> done = {}) {
        return test_.start(settings, std::move(done));
    }
    bool testRunning() const { return test_.running(); }

    SmtpClient& client() { return client_; }
    const MailMessage& message() const { return message_; }

private:
    MailNotices& notices_;
    LocaleFormats formats_;
    MailMessage message_;
    TlsLayer tls_;
    SmtpClient client_;
    NoticeMail notice_;
    // Last: a test still running is ended before what it uses goes.
    SettingsTestMail test_;
};

}  // namespace quindra
