#include <gtest/gtest.h>
#include <stdlib.h>

#include <QHash>
#include <QLocale>
#include <QTimeZone>
#include <memory>

#include "core/AppError.h"
#include "core/FormView.h"
#include "core/VirtualEventLoop.h"
#include "mail/InfoBox.h"
#include "mail/MailNotices.h"
#include "mail/MailOffice.h"
#include "mail/MailServerProcess.h"
#include "mail/SmtpClient.h"
#include "support/FakeClock.h"
#include "support/FakeLog.h"

using namespace quindra;
using quindra::testing::MailServerProcess;
using quindra::testing::TestAuthority;

namespace {

// The client against a real SMTP server on loopback (aiosmtpd), in plain
// text, with STARTTLS and with TLS from the first byte, trusting a test
// authority through SSL_CERT_FILE as an operator with a private server would.
class RealServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        authority = std::make_unique<TestAuthority>();
        localhost = authority->issue(QStringLiteral("localhost"),
                                     QStringLiteral("DNS:localhost,IP:127.0.0.1"));
        elsewhere =
            authority->issue(QStringLiteral("outro.exemplo"), QStringLiteral("DNS:outro.exemplo"));
    }
    static void TearDownTestSuite() { authority.reset(); }

    RealServer() {
        ::setenv("SSL_CERT_FILE", authority->caFile().toLocal8Bit().constData(), 1);
        settings.host = QStringLiteral("localhost");
        settings.user = QStringLiteral("quindra");
        settings.password = QStringLiteral("segredo");
        smtp.HeloName = QStringLiteral("estacao");
        smtp.ReadTimeout = std::chrono::seconds(10);
        message.From = {QStringLiteral("Quindra Vizudu"), QStringLiteral("op@empresa.com.br")};
        message.Recipients.AssignAddressText(QStringLiteral("op@empresa.com.br"));
        message.Priority = TMailPriority::mpHighest;
        message.Subject = QStringLiteral("Quindra Vizudu troca de arquivo de áudio.");
        message.Body << QStringLiteral("Quindra Vizudu envio de email!!!") << QStringLiteral("\r\n")
                     << QStringLiteral(".wav é o formato") << QStringLiteral("fim");
    }

    std::unique_ptr<MailServerProcess> start(MailServerProcess::Options o) {
        auto server = std::make_unique<MailServerProcess>(QStringLiteral(QUINDRA_SMTP_SERVER), o);
        settings.port = server->port();
        return server;
    }

    // What the server must have received: the message as written, without
    // the dot-stuffing of the transport.
    QByteArray expected(TransferEncoding enc) const {
        QByteArray m;
        for (const QByteArray& h : wire::HeaderLines(message, clock.now(), enc))
            m += h;
        return m + "\r\n" + wire::BodyData(message, enc);
    }

    void sendOnce() {
        smtp.Connect();
        smtp.Send(message);
        smtp.Disconnect();
    }

    template <class F>
    static std::string failure(F&& f) {
        try {
            f();
        } catch (const AppError& e) {
            return e.text().toStdString();
        }
        return "no failure";
    }

    static inline std::unique_ptr<TestAuthority> authority;
    static inline QString localhost, elsewhere;

    quindra::testing::FakeClock clock{
        QDateTime(QDate(2026, 12, 10), QTime(14, 5, 33), QTimeZone(-10800))};
    TSslIoHandler tls;
    SmtpClientSettings settings;
    TSmtpClient smtp{settings, clock, tls};
    TMailMessage message;
};

TEST_F(RealServer, EachWayDeliversTheMessageByteForByte) {
    struct Case {
        const char* mode;
        bool attached;  // the SSL layer: TLS from the first byte
    };
    for (const Case& c : {Case{"plain", false}, Case{"starttls", false}, Case{"tls", true}}) {
        SCOPED_TRACE(c.mode);
        auto server = start({.mode = QString::fromLatin1(c.mode), .cert = localhost});
        smtp.setIOHandler(c.attached ? &tls : nullptr);
        smtp.Connect();
        // A server that offers STARTTLS gets it before the password.
        EXPECT_EQ(smtp.encrypted(), std::string(c.mode) != "plain");
        smtp.Send(message);
        smtp.Disconnect();
        EXPECT_EQ(server->message(1).toStdString(),
                  expected(TransferEncoding::EightBit).toStdString());
        EXPECT_EQ(server->envelope(1),
                  QStringLiteral("from op@empresa.com.br\nto op@empresa.com.br\nauth True\n"));
    }
}

TEST_F(RealServer, ACertificateTheClientCannotTrustIsRefused) {
    struct Case {
        const char* mode;
        QString cert;
        const char* host;
        bool trustTestAuthority;
        const char* reason;
    };
    for (const Case& c :
         {Case{"tls", elsewhere, "localhost", true, "hostname mismatch"},
          Case{"starttls", elsewhere, "localhost", true, "hostname mismatch"},
          Case{"tls", elsewhere, "127.0.0.1", true, "IP address mismatch"},
          Case{"tls", localhost, "localhost", false, "unable to get local issuer certificate"}}) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3")
                         .arg(QLatin1String(c.mode), c.cert, QLatin1String(c.host))
                         .toStdString());
        if (!c.trustTestAuthority)
            ::setenv("SSL_CERT_FILE", "/nonexistent", 1);
        auto server = start({.mode = QString::fromLatin1(c.mode), .cert = c.cert});
        settings.host = QString::fromLatin1(c.host);
        smtp.setIOHandler(std::string(c.mode) == "tls" ? &tls : nullptr);
        EXPECT_EQ(failure([&] { smtp.Connect(); }),
                  std::string("Error connecting with SSL.\r\n") + c.reason);
        EXPECT_FALSE(smtp.Connected());
        EXPECT_TRUE(server->message(1, 0).isEmpty());
    }
    // The address itself is a name the certificate can carry.
    ::setenv("SSL_CERT_FILE", authority->caFile().toLocal8Bit().constData(), 1);
    auto server = start({.mode = QStringLiteral("tls"), .cert = localhost});
    settings.host = QStringLiteral("127.0.0.1");
    smtp.setIOHandler(&tls);
    sendOnce();
    EXPECT_FALSE(server->message(1).isEmpty());
}

TEST_F(RealServer, AWrongPasswordFailsTheSendAndLeavesTheConnectionToClose) {
    auto server = start({.mode = QStringLiteral("tls"), .cert = localhost});
    smtp.setIOHandler(&tls);
    settings.password = QStringLiteral("errada");
    smtp.Connect();
    EXPECT_EQ(failure([&] { smtp.Send(message); }), "5.7.8 Authentication credentials invalid\r\n");
    EXPECT_TRUE(smtp.Connected());
    smtp.Disconnect();
    settings.password = QStringLiteral("segredo");
    sendOnce();
    EXPECT_FALSE(server->message(1).isEmpty());
}

TEST_F(RealServer, AServerThatDropsTheConnectionMidMessageFailsTheSendOnly) {
    // Writing the rest of a long message into a closed TLS connection: the
    // send fails, and the program (here the test) goes on.
    MailServerProcess::Options o;
    o.mode = QStringLiteral("tls");
    o.cert = localhost;
    o.closeOnData = true;
    auto server = start(o);
    smtp.setIOHandler(&tls);
    message.Body = QStringList(20000, QString(200, QLatin1Char('x')));
    smtp.Connect();
    const std::string text = failure([&] { smtp.Send(message); });
    EXPECT_TRUE(text.rfind("Socket Error # ", 0) == 0 || text == "Connection Closed Gracefully.")
        << text;
    EXPECT_FALSE(smtp.Connected());
    smtp.Disconnect();
}

class Form final : public FormView {
public:
    void setFieldText(Field f, const QString& text) override { fields[f] = text; }
    QString fieldText(Field f) const override { return fields.value(f); }
    void setChecked(Box b, bool on) override { boxes[b] = on; }
    bool checked(Box b) const override { return boxes.value(b); }
    void setHotKey(ShortCut) override {}
    ShortCut hotKey() const override { return 0; }
    void setLabel(Label l, const QString& text) override { labels[l] = text; }
    QString label(Label l) const override { return labels.value(l); }
    QHash<Field, QString> fields;
    QHash<Box, bool> boxes;
    QHash<Label, QString> labels;
};

class Boxes final : public InfoBox {
public:
    void showInfo(const QString& text) override { shown << text; }
    QStringList shown;
};

TEST_F(RealServer, TheTestButtonOverTls) {
    auto server = start({.mode = QStringLiteral("tls"), .cert = localhost});
    VirtualEventLoop loop;
    quindra::testing::FakeLog log;
    Form form;
    Boxes boxes;
    MailNotices notices(loop);
    MailOffice office(notices, {.log = log,
                                .clock = clock,
                                .formats = LocaleFormats(QLocale(QStringLiteral("pt_BR"))),
                                .view = form,
                                .boxes = boxes,
                                .portNumber = [](const QString& t) { return t.toInt(); }});
    form.fields[Field::edSendTo] = QStringLiteral("op@empresa.com.br");
    form.fields[Field::edServerSMTP] = QStringLiteral("localhost");
    form.fields[Field::edPortaSMTP] = QString::number(server->port());
    form.fields[Field::edUserSMTP] = QStringLiteral("quindra");
    form.fields[Field::edSenhaSMTP] = QStringLiteral("errada");
    form.boxes[Box::cbAutenticaSeguro] = true;

    office.Button2Click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("Erro ao enviar E-mail!!!")});
    EXPECT_FALSE(office.SMTP().Connected());

    form.fields[Field::edSenhaSMTP] = QStringLiteral("segredo");
    office.Button2Click();
    EXPECT_EQ(boxes.shown.last(), QStringLiteral("E-mail enviado com sucesso!!!"));
    EXPECT_TRUE(server->message(1).contains("Teste Efetuado com Sucesso."));
    EXPECT_TRUE(log.lines.isEmpty());
}

}  // namespace
