#pragma once

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <string>

#include "core/AppError.h"
#include "mail/InfoBox.h"
#include "mail/MailMessage.h"
#include "mail/SmtpClient.h"
#include "mail/TlsLayer.h"
#include "support/FakeClock.h"

namespace quindra::testing {

// The text of what the call throws, or "no failure".
template <class F>
std::string failureText(F&& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.text().toStdString();
    }
    return "no failure";
}

// An SMTP client on settings of its own, at a fixed moment, and a message for
// it to send.
struct ClientRig {
    FakeClock clock{QDateTime(QDate(2026, 12, 10), QTime(14, 5, 33), QTimeZone(-10800))};
    TlsLayer tls;
    SmtpClientSettings settings;
    SmtpClient client{settings, clock, tls};
    MailMessage message;
};

// The boxes the settings test shows, in order.
class FakeInfoBoxes final : public InfoBox {
public:
    void showInfo(const QString& text) override { shown << text; }
    QStringList shown;
};

}  // namespace quindra::testing
