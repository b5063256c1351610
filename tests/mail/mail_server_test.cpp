#include <gtest/gtest.h>
#include <stdlib.h>

#include <QLocale>
#include <memory>
#include <thread>

#include "core/VirtualEventLoop.h"
#include "mail/MailNotices.h"
#include "mail/MailOffice.h"
#include "mail/MailRig.h"
#include "mail/MailServerProcess.h"
#include "support/FakeLog.h"

using namespace quindra;
using quindra::testing::failureText;
using quindra::testing::MailServerProcess;
using quindra::testing::TestAuthority;

namespace {

// The client against a real SMTP server on loopback (aiosmtpd), in plain
// text, with STARTTLS and with TLS from the first byte, trusting a test
// authority through SSL_CERT_FILE as an operator with a private server would.
class RealServer : public ::testing::Test, protected quindra::testing::ClientRig {
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
        client.heloName = QStringLiteral("estacao");
        client.readTimeout = std::chrono::seconds(10);
        message.from = {QStringLiteral("Quindra Vizudu"), QStringLiteral("op@empresa.com.br")};
        message.recipients.setFromText(QStringLiteral("op@empresa.com.br"));
        message.priority = MailPriority::Highest;
        message.subject = QStringLiteral("Quindra Vizudu troca de arquivo de áudio.");
        message.body << QStringLiteral("Quindra Vizudu envio de email!!!") << QStringLiteral("\r\n")
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
        for (const QByteArray& h : wire::headerLines(message, clock.now(), enc))
            m += h;
        return m + "\r\n" + wire::bodyData(message, enc);
    }

    void sendOnce() {
        client.connect();
        client.send(message);
        client.disconnect();
    }

    static inline std::unique_ptr<TestAuthority> authority;
    static inline QString localhost, elsewhere;
};

TEST_F(RealServer, EachWayDeliversTheMessageByteForByte) {
    struct Case {
        const char* mode;
        bool attached;  // the TLS layer: TLS from the first byte
    };
    for (const Case& c : {Case{"plain", false}, Case{"starttls", false}, Case{"tls", true}}) {
        SCOPED_TRACE(c.mode);
        auto server = start({.mode = QString::fromLatin1(c.mode), .cert = localhost});
        client.useTls(c.attached ? &tls : nullptr);
        client.connect();
        // A server that offers STARTTLS gets it before the password.
        EXPECT_EQ(client.encrypted(), std::string(c.mode) != "plain");
        client.send(message);
        client.disconnect();
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
        client.useTls(std::string(c.mode) == "tls" ? &tls : nullptr);
        EXPECT_EQ(failureText([&] { client.connect(); }),
                  std::string("Error connecting with SSL.\r\n") + c.reason);
        EXPECT_FALSE(client.connected());
        EXPECT_TRUE(server->message(1, 0).isEmpty());
    }
    // The address itself is a name the certificate can carry.
    ::setenv("SSL_CERT_FILE", authority->caFile().toLocal8Bit().constData(), 1);
    auto server = start({.mode = QStringLiteral("tls"), .cert = localhost});
    settings.host = QStringLiteral("127.0.0.1");
    client.useTls(&tls);
    sendOnce();
    EXPECT_FALSE(server->message(1).isEmpty());
}

TEST_F(RealServer, AWrongPasswordFailsTheSendAndLeavesTheConnectionToClose) {
    auto server = start({.mode = QStringLiteral("tls"), .cert = localhost});
    client.useTls(&tls);
    settings.password = QStringLiteral("errada");
    client.connect();
    EXPECT_EQ(failureText([&] { client.send(message); }),
              "5.7.8 Authentication credentials invalid\r\n");
    EXPECT_TRUE(client.connected());
    client.disconnect();
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
    client.useTls(&tls);
    message.body = QStringList(20000, QString(200, QLatin1Char('x')));
    client.connect();
    const std::string text = failureText([&] { client.send(message); });
    EXPECT_TRUE(text.rfind("Socket Error # ", 0) == 0 || text == "Connection Closed Gracefully.")
        << text;
    EXPECT_FALSE(client.connected());
    client.disconnect();
}

// A notice over TLS from the first byte that fails is written in the log,
// with its reason in Portuguese, besides the box: an unattended program has
// nobody to read the box.
TEST_F(RealServer, AFailedNoticeOverTlsIsWrittenWithItsReason) {
    struct Case {
        const char* name;
        MailServerProcess::Options server;
        bool trustTestAuthority;
        QString password;
        QString reason;
    };
    const QString selfSigned = authority->caFile();  // its own issuer
    for (const Case& c : {
             Case{"self-signed",
                  {.mode = QStringLiteral("tls"), .cert = selfSigned},
                  false,
                  QStringLiteral("segredo"),
                  QStringLiteral("o certificado do servidor não é de uma autoridade confiável")},
             Case{"another name",
                  {.mode = QStringLiteral("tls"), .cert = elsewhere},
                  true,
                  QStringLiteral("segredo"),
                  QStringLiteral("o certificado do servidor é de outro nome")},
             Case{"TLS 1.0 only",
                  {.mode = QStringLiteral("tls"), .cert = localhost, .tls10Only = true},
                  true,
                  QStringLiteral("segredo"),
                  QStringLiteral(
                      "o servidor só aceita versões antigas do TLS, recusadas por segurança")},
             Case{"wrong password",
                  {.mode = QStringLiteral("tls"), .cert = localhost},
                  true,
                  QStringLiteral("errada"),
                  QStringLiteral("o servidor recusou o usuário ou a senha")},
         }) {
        SCOPED_TRACE(c.name);
        ::setenv(
            "SSL_CERT_FILE",
            c.trustTestAuthority ? authority->caFile().toLocal8Bit().constData() : "/nonexistent",
            1);
        auto server = start(c.server);
        VirtualEventLoop loop;
        quindra::testing::FakeLog log;
        quindra::testing::FakeInfoBoxes boxes;
        QStringList errors;
        loop.setUncaughtHandler([&errors](const std::exception& e) { errors << ErrorText(e); });
        const MessageOnAir onAir;
        MailNotices notices(loop);
        MailOffice office(notices, {.log = log,
                                    .clock = clock,
                                    .formats = LocaleFormats(QLocale(QStringLiteral("pt_BR"))),
                                    .onAir = onAir,
                                    .boxes = boxes});
        notices.setEnabled(true);
        notices.setOnHardware(true);
        notices.setSecure(true);
        notices.setRecipient(QStringLiteral("op@empresa.com.br"));
        notices.smtp() = settings;
        notices.smtp().password = c.password;
        office.client().readTimeout = std::chrono::seconds(10);

        notices.hardwareDisconnected();
        loop.advance(3000);
        EXPECT_EQ(log.lines,
                  QStringList({QStringLiteral("Enviando e-mail de hardware desconectado."),
                               QStringLiteral("Erro ao enviar e-mail."),
                               QStringLiteral("Motivo: ") + c.reason + QLatin1Char('.')}));
        EXPECT_EQ(errors.size(), 1);
        EXPECT_TRUE(server->message(1, 0).isEmpty());
    }
}

// The "Teste" button against the real server: one box, the outcome first
// and, under a failure, its reason in Portuguese.
TEST_F(RealServer, TheTestButtonGivesEachReason) {
    const QString secureFailed = QStringLiteral("Erro ao enviar E-mail!!!\nMotivo: ");
    struct Case {
        const char* name;
        MailServerProcess::Options server;
        const char* host;
        bool trustTestAuthority;
        QString password;
        QString box;
    };
    for (const Case& c : {
             Case{"works",
                  {.mode = QStringLiteral("tls"), .cert = localhost},
                  "localhost",
                  true,
                  QStringLiteral("segredo"),
                  QStringLiteral("E-mail enviado com sucesso!!!")},
             Case{"wrong password",
                  {.mode = QStringLiteral("tls"), .cert = localhost},
                  "localhost",
                  true,
                  QStringLiteral("errada"),
                  secureFailed + QStringLiteral("o servidor recusou o usuário ou a senha.")},
             Case{"plain-text port",
                  {.mode = QStringLiteral("plain"), .cert = localhost},
                  "localhost",
                  true,
                  QStringLiteral("segredo"),
                  secureFailed + QStringLiteral("a porta do servidor não usa TLS, mas "
                                                "\"Autenticação Segura\" está marcada.")},
             Case{"untrusted certificate",
                  {.mode = QStringLiteral("tls"), .cert = localhost},
                  "localhost",
                  false,
                  QStringLiteral("segredo"),
                  secureFailed +
                      QStringLiteral(
                          "o certificado do servidor não é de uma autoridade confiável.")},
             Case{"certificate of another name",
                  {.mode = QStringLiteral("tls"), .cert = elsewhere},
                  "localhost",
                  true,
                  QStringLiteral("segredo"),
                  secureFailed + QStringLiteral("o certificado do servidor é de outro nome.")},
             Case{"unknown name",
                  {.mode = QStringLiteral("tls"), .cert = localhost},
                  "nao-existe.invalid",
                  true,
                  QStringLiteral("segredo"),
                  secureFailed + QStringLiteral("o nome do servidor não foi encontrado.")},
         }) {
        SCOPED_TRACE(c.name);
        ::setenv(
            "SSL_CERT_FILE",
            c.trustTestAuthority ? authority->caFile().toLocal8Bit().constData() : "/nonexistent",
            1);
        auto server = start(c.server);
        VirtualEventLoop loop;
        quindra::testing::FakeLog log;
        quindra::testing::FakeInfoBoxes boxes;
        const MessageOnAir onAir;
        MailNotices notices(loop);
        MailOffice office(notices, {.log = log,
                                    .clock = clock,
                                    .formats = LocaleFormats(QLocale(QStringLiteral("pt_BR"))),
                                    .onAir = onAir,
                                    .boxes = boxes});
        office.client().readTimeout = std::chrono::seconds(10);
        MailSettings page;
        page.recipient = QStringLiteral("op@empresa.com.br");
        page.server.host = QString::fromLatin1(c.host);
        page.server.port = server->port();
        page.server.user = QStringLiteral("quindra");
        page.server.password = c.password;
        page.secure = true;

        bool ended = false;
        ASSERT_TRUE(office.sendTestMail(page, [&ended] { ended = true; }));
        while (!ended) {
            loop.processPendingMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(boxes.shown, QStringList{c.box});
        EXPECT_FALSE(office.client().connected());
        const bool works = std::string(c.name) == "works";
        EXPECT_EQ(server->message(1, works ? 5000 : 0).contains("Teste Efetuado com Sucesso."),
                  works);
        EXPECT_TRUE(log.lines.isEmpty());
    }
}

}  // namespace
