#pragma once

#include "mail/MailSettings.h"
#include "mail/NoticeMail.h"

namespace quindra {

class InfoBox;

// The "Teste" button: one fixed mail with the settings as the page shows
// them, its outcome told in boxes. Each box is shown after the connection is
// closed, so a notice that falls due while it is open finds the client free.
class SettingsTestMail {
public:
    struct Ports {
        MailDesk desk;
        InfoBox& boxes;
    };

    explicit SettingsTestMail(Ports ports) : p_(ports) {}

    // The server settings become the client's. A recipient text that cannot
    // be parsed and a failed secure connect are thrown to the caller; an
    // address holding a control character sends nothing and says so.
    void send(const MailSettings& settings);

private:
    enum class Outcome { Sent, Failed, Abandoned };
    Outcome plainAttempt(const MailMessage& mail);

    Ports p_;
};

}  // namespace quindra
