#pragma once

#include <QString>

namespace quindra {

// The properties of the SMTP client that the settings page keeps current; the
// mail transport reads them when it connects.
struct SmtpClientSettings {
    enum class Auth { Login };

    QString host;
    int port = 25;
    QString user;
    QString password;
    Auth auth = Auth::Login;
};

}  // namespace quindra
