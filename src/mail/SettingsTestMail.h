#pragma once

#include <functional>

#include "mail/NoticeMail.h"

namespace quindra {

class FormView;
class InfoBox;

// The "Teste" button: one fixed mail with the settings as the page shows
// them, its outcome told in boxes. Each box is shown after the connection is
// closed, so a notice that falls due while it is open finds the client free.
class SettingsTestMail {
public:
    struct Ports {
        MailDesk desk;
        const FormView& view;
        InfoBox& boxes;
        // The port field's text as a number; throws for a text that is none.
        std::function<int(const QString&)> portNumber;
    };

    explicit SettingsTestMail(Ports ports) : p_(std::move(ports)) {}

    // A port that is not a number, a recipient text that cannot be parsed
    // and a failed secure connect are thrown to the caller.
    void Button2Click();

private:
    bool plainAttempt(const TMailMessage& mail);

    Ports p_;
};

}  // namespace quindra
