#pragma once

#include <functional>

#include "core/LocaleFormats.h"
#include "mail/MailMessage.h"
#include "mail/MailNotices.h"
#include "mail/NoticeMail.h"
#include "mail/SettingsTestMail.h"
#include "mail/SmtpClient.h"
#include "mail/SslIoHandler.h"

namespace quindra {

class Clock;
class FormView;
class InfoBox;
class MessageLog;

// Where the mail goes out: the one message, the SMTP client with its SSL
// layer, the notices' sender (put into MailNotices' EnviaEmail) and the
// "Teste" button. The client works with the SMTP settings MailNotices keeps.
class MailOffice {
public:
    struct Ports {
        MessageLog& log;
        const Clock& clock;
        LocaleFormats formats;
        // The recipient, server, port and account fields, the secure box
        // and the file labels.
        const FormView& view;
        InfoBox& boxes;
        // The port field's text as a number; throws for a text that is none.
        std::function<int(const QString&)> portNumber;
    };

    MailOffice(MailNotices& notices, Ports ports);
    ~MailOffice();
    MailOffice(const MailOffice&) = delete;
    MailOffice& operator=(const MailOffice&) = delete;

    void EnviaEmail(MailNotices::Type type) { notice_.EnviaEmail(type); }
    void Button2Click() { test_.Button2Click(); }

    TSmtpClient& SMTP() { return SMTP_; }
    const TMailMessage& EmailCorpo() const { return EmailCorpo_; }

private:
    MailNotices& notices_;
    LocaleFormats formats_;
    TMailMessage EmailCorpo_;
    TSslIoHandler SSLSocket_;
    TSmtpClient SMTP_;
    NoticeMail notice_;
    SettingsTestMail test_;
};

}  // namespace quindra
