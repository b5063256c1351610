#pragma once

#include <QString>

#include "mail/SmtpClientSettings.h"

namespace quindra {

// The mail settings as the settings page shows them.
struct MailSettings {
    QString recipient;
    QString sender;  // "De:"; empty: the recipient text, as before there was one
    SmtpClientSettings server;
    bool secure = false;
};

}  // namespace quindra
