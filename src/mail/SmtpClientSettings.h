#pragma once

#include <QString>

namespace quindra {

// The properties of the SMTP client that the settings page keeps current; the
// client reads them at each connect and send.
struct SmtpClientSettings {
    // Login: send authenticates with AUTH LOGIN when the server offers it.
    enum class Auth { None, Login };

    QString host;
    int port = 25;
    QString user;
    QString password;
    Auth auth = Auth::Login;
};

}  // namespace quindra
