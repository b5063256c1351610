#include <gtest/gtest.h>

#include "mail/MailRig.h"
#include "mail/ScriptedSmtpServer.h"

using namespace quindra;
using quindra::testing::failureText;
using quindra::testing::ScriptedSmtpServer;
using Scripts = std::vector<ScriptedSmtpServer::Replies>;
using Lines = std::vector<std::string>;

namespace {

struct Transport : ::testing::Test, quindra::testing::ClientRig {
    Transport() {
        client.heloName = QStringLiteral("estacao");
        client.readTimeout = std::chrono::seconds(5);
        client.settings().host = QStringLiteral("127.0.0.1");
        client.settings().user = QStringLiteral("quindra");
        client.settings().password = QStringLiteral("s3nh@");
        message.from = {QStringLiteral("Quindra Vizudu"), QStringLiteral("op@x.com.br")};
        message.recipients.setFromText(QStringLiteral("op@x.com.br, chefe@x.com.br"));
        message.subject = QStringLiteral("Teste");
        message.body << QStringLiteral("corpo");
    }

    void use(const ScriptedSmtpServer& server) { client.settings().port = server.port(); }

    // What the client wrote, without the message between DATA and ".".
    static Lines commands(const Lines& session) {
        Lines out;
        bool data = false;
        for (const std::string& l : session) {
            if (!data)
                out.push_back(l);
            if (l == "DATA")
                data = true;
            else if (data && l == ".")
                data = false, out.push_back(l);
        }
        return out;
    }
};

TEST_F(Transport, ConnectSendTwiceDisconnect) {
    ScriptedSmtpServer server;
    use(server);
    client.connect();
    EXPECT_EQ(client.mechanisms(), QStringList({QStringLiteral("PLAIN"), QStringLiteral("LOGIN")}));
    client.send(message);
    client.send(message);  // already authenticated on this connection
    client.disconnect();
    EXPECT_FALSE(client.connected());
    server.waitFinished(1);

    ASSERT_EQ(server.sessions().size(), 1u);
    const Lines mail = {"RSET",
                        "MAIL FROM:<op@x.com.br>",
                        "RCPT TO:<op@x.com.br>",
                        "RCPT TO:<chefe@x.com.br>",
                        "DATA",
                        "."};
    Lines expected = {"EHLO estacao", "RSET", "AUTH LOGIN", "cXVpbmRyYQ==", "czNuaEA="};
    expected.insert(expected.end(), mail.begin() + 1, mail.end());
    expected.insert(expected.end(), mail.begin(), mail.end());
    expected.push_back("QUIT");
    EXPECT_EQ(commands(server.sessions()[0]), expected);

    // The message itself, as the server received it.
    const Lines s = server.sessions()[0];
    const auto data = std::find(s.begin(), s.end(), "DATA");
    EXPECT_EQ(
        Lines(data + 1, data + 11),
        (Lines{"From: \"Quindra Vizudu\" <op@x.com.br>", "Subject: Teste",
               "To: op@x.com.br, chefe@x.com.br", "Content-Type: text/plain; charset=ISO-8859-1",
               "MIME-Version: 1.0", "Content-Transfer-Encoding: 7bit",
               "Date: Thu, 10 Dec 2026 14:05:33 -0300", "", "corpo", "."}));
}

TEST_F(Transport, AnEightBitBodyIsDeclaredOrEncodedAsTheServerAllows) {
    message.body = QStringList{QStringLiteral("áudio")};
    for (const bool eightBit : {true, false}) {
        ScriptedSmtpServer server(
            Scripts{{{"EHLO", eightBit ? "250-x\r\n250 8BITMIME\r\n" : "250 x\r\n"}}});
        use(server);
        client.connect();
        client.send(message);
        client.disconnect();
        const Lines s = server.sessions()[0];
        const auto has = [&s](const std::string& l) {
            return std::find(s.begin(), s.end(), l) != s.end();
        };
        EXPECT_EQ(has("MAIL FROM:<op@x.com.br> BODY=8BITMIME"), eightBit);
        EXPECT_EQ(has("\xE1udio"), eightBit);
        EXPECT_EQ(has("=E1udio"), !eightBit);
        EXPECT_EQ(has("Content-Transfer-Encoding: quoted-printable"), !eightBit);
    }
}

TEST_F(Transport, AuthLineShapes) {
    struct Case {
        const char* ehlo;
        bool login;
    };
    for (const Case& c :
         {Case{"250-x\r\n250 AUTH PLAIN LOGIN\r\n", true},
          Case{"250-x\r\n250-AUTH=LOGIN\r\n250 SIZE 100\r\n", true},
          Case{"250-x\r\n250-auth login\r\n250 AUTH=LOGIN PLAIN\r\n", true},
          Case{"250-x\r\n250 AUTH CRAM-MD5\r\n", false}, Case{"250 x\r\n", false}}) {
        SCOPED_TRACE(c.ehlo);
        ScriptedSmtpServer server(Scripts{{{"EHLO", c.ehlo}}});
        use(server);
        client.connect();
        EXPECT_EQ(client.mechanisms().count(QStringLiteral("LOGIN")), c.login ? 1 : 0);
        client.send(message);
        client.disconnect();
        const Lines s = server.sessions()[0];
        EXPECT_EQ(std::count(s.begin(), s.end(), "AUTH LOGIN"), c.login ? 1 : 0);
    }
}

TEST_F(Transport, EhloRefusedFallsBackToHeloWithoutAuthentication) {
    ScriptedSmtpServer server(Scripts{{{"EHLO", "500 Unknown command\r\n"}}});
    use(server);
    client.connect();
    client.send(message);
    client.disconnect();
    server.waitFinished(1);
    const Lines s = commands(server.sessions()[0]);
    EXPECT_EQ(Lines(s.begin(), s.begin() + 4),
              (Lines{"EHLO estacao", "HELO estacao", "RSET", "MAIL FROM:<op@x.com.br>"}));
}

TEST_F(Transport, RepliesAndTheirFailures) {
    struct Case {
        ScriptedSmtpServer::Replies script;
        std::string connect;  // what connect throws
        std::string send;     // what send throws after a good connect
        Lines written;        // what the client wrote
    };
    const Case cases[] = {
        // A refused greeting: QUIT, and the connection is closed.
        {{{"greeting", "554-No service\r\n554 for you\r\n"}},
         "No service\r\nfor you\r\n",
         "",
         {"QUIT"}},
        {{{"HELO", "501 bad\r\n"}, {"EHLO", "502 no\r\n"}},
         "bad\r\n",
         "",
         {"EHLO estacao", "HELO estacao", "QUIT"}},
        {{{"greeting", "close"}}, "Connection Closed Gracefully.", "", {}},
        {{{"greeting", "220 " + std::string(20000, 'x') + "\r\n"}},
         "Max line length exceeded.",
         "",
         {"QUIT"}},
        {{{"greeting", "silent"}}, "Socket Error # 110\r\nConnection timed out.", "", {}},
        {{{"PASS", "535 5.7.8 Authentication credentials invalid\r\n"}},
         "no failure",
         "5.7.8 Authentication credentials invalid\r\n",
         {}},
        {{{"RCPT", "550 No such user\r\n"}}, "no failure", "No such user\r\n", {}},
        {{{"DATA", "silent"}}, "no failure", "Socket Error # 110\r\nConnection timed out.", {}},
        {{{"END", "close"}}, "no failure", "Connection Closed Gracefully.", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.connect + " / " + c.send);
        // A short limit where the server stays silent, a generous one elsewhere.
        const bool silent = (c.connect + c.send).find("timed out") != std::string::npos;
        client.readTimeout = silent ? std::chrono::milliseconds(300) : std::chrono::seconds(5);
        ScriptedSmtpServer server(Scripts{c.script});
        use(server);
        EXPECT_EQ(failureText([&] { client.connect(); }), c.connect);
        if (c.connect == "no failure") {
            EXPECT_EQ(failureText([&] { client.send(message); }), c.send);
        } else {
            EXPECT_FALSE(client.connected());
        }
        client.disconnect();
        server.waitFinished(1);
        if (!c.written.empty()) {
            EXPECT_EQ(server.sessions()[0], c.written);
        }
    }
}

TEST_F(Transport, AFailedSendLeavesTheConnectionOpenUntilDisconnect) {
    ScriptedSmtpServer server(Scripts{{{"MAIL", "550 Sender refused\r\n"}}, {}});
    use(server);
    client.connect();
    EXPECT_EQ(failureText([&] { client.send(message); }), "Sender refused\r\n");
    EXPECT_EQ(failureText([&] { client.connect(); }), "Already connected.");
    client.disconnect();
    client.connect();
    client.send(message);
    client.disconnect();
    EXPECT_EQ(server.connections(), 2);
}

TEST_F(Transport, EnvelopeAsHeld) {
    // The sender address goes out exactly as held; no recipients, no RCPT.
    ScriptedSmtpServer server;
    use(server);
    message.from.address = QStringLiteral("a@x.com, b@y.com");
    message.recipients.clear();
    client.connect();
    client.send(message);
    client.disconnect();
    server.waitFinished(1);
    const Lines s = commands(server.sessions()[0]);
    EXPECT_EQ(Lines(s.begin() + 5, s.end()),
              (Lines{"MAIL FROM:<a@x.com, b@y.com>", "DATA", ".", "QUIT"}));
}

// "251 User not local; will forward" accepts the recipient: the mail goes.
TEST_F(Transport, AForwardedRecipientIsAccepted) {
    ScriptedSmtpServer server(Scripts{{{"RCPT", "251 User not local; will forward\r\n"}}});
    use(server);
    client.connect();
    EXPECT_EQ(failureText([&] { client.send(message); }), "no failure");
    client.disconnect();
    server.waitFinished(1);
    const Lines s = server.sessions()[0];
    EXPECT_NE(std::find(s.begin(), s.end(), "corpo"), s.end());
}

// An address that holds a line break would end the command and write one of
// its own: the client sends nothing of the mail at all.
TEST_F(Transport, AnAddressHoldingALineBreakSendsNothing) {
    for (const QString& bad : {QStringLiteral("op@x.com.br\r\nRCPT TO:<intruso@fora.com>"),
                               QStringLiteral("op@x.com.br\nintruso@fora.com"),
                               QStringLiteral("op@x.com.br\rintruso@fora.com")}) {
        for (const bool sender : {true, false}) {
            SCOPED_TRACE(bad.toStdString() + (sender ? " as sender" : " as recipient"));
            MailMessage m = message;
            if (sender)
                m.from.address = bad;
            else
                m.recipients.append({QString(), bad});
            ScriptedSmtpServer server;
            use(server);
            client.connect();
            EXPECT_NE(failureText([&] { client.send(m); }), "no failure");
            client.disconnect();
            server.waitFinished(1);
            const Lines session = server.sessions()[0];
            for (const std::string& line : session) {
                EXPECT_EQ(line.find("intruso"), std::string::npos) << line;
                EXPECT_NE(line.rfind("MAIL", 0), 0u) << line;
            }
        }
    }
}

// A silent server holds a notice, and the "Teste" button, for the reply
// limit: 30 s, which the log line then names.
TEST_F(Transport, ASilentServerIsGivenThirtySeconds) {
    const quindra::testing::ClientRig fresh;
    EXPECT_EQ(fresh.client.readTimeout, std::chrono::seconds(30));
    EXPECT_EQ(MailFailureReason(TimedOut(), fresh.client.readTimeout),
              QStringLiteral("o servidor não respondeu em 30 s"));
}

TEST_F(Transport, NetworkFailures) {
    int closedPort;
    {
        ScriptedSmtpServer gone;
        closedPort = gone.port();
    }
    client.settings().port = closedPort;
    EXPECT_EQ(failureText([&] { client.connect(); }), "Socket Error # 111\r\nConnection refused.");
    client.settings().host = QString();  // an empty server field
    EXPECT_EQ(failureText([&] { client.connect(); }),
              "Socket Error # -2\r\nName or service not known.");
    EXPECT_FALSE(client.connected());
    // A port outside 1..65535 is refused, never wrapped into the range.
    {
        ScriptedSmtpServer server;
        client.settings().host = QStringLiteral("127.0.0.1");
        client.settings().port = server.port() + 65536;
        EXPECT_EQ(failureText([&] { client.connect(); }),
                  "'" + std::to_string(server.port() + 65536) + "' is not a valid integer value");
        EXPECT_EQ(server.connections(), 0);
    }
}

TEST_F(Transport, TlsAgainstAPlainServerFailsTheHandshake) {
    ScriptedSmtpServer server(Scripts{{{"greeting", "silent"}}});
    use(server);
    client.readTimeout = std::chrono::milliseconds(300);
    client.useTls(&tls);
    const std::string text = failureText([&] { client.connect(); });
    EXPECT_EQ(text.rfind("Error connecting with SSL.\r\n", 0), 0u) << text;
    EXPECT_FALSE(client.connected());
}

}  // namespace
