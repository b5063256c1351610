#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "app/Shell.h"
#include "config/Values.h"
#include "mail/ScriptedSmtpServer.h"
#include "support/ShellRig.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

// The mail as the window's shell wires it: the settings read at start, the
// swap's notice on its timer, the "Teste" button and its boxes.
class ShellMail : public ::testing::Test, protected ShellRig {
protected:
    void start(int port, const QString& portText = {}) {
        ASSERT_TRUE(registry->createKey(Root::LocalMachine, kConfigKey));
        const auto preset = [&](const char* name, const QString& text) {
            ASSERT_TRUE(registry->setValue(Root::LocalMachine, kConfigKey,
                                           QString::fromLatin1(name), RegValue::String(text)));
        };
        preset("SendMail", QStringLiteral("-1"));
        preset("TrocaMsg", QStringLiteral("-1"));
        preset("SendTo", QStringLiteral("operador@empresa.com.br"));
        preset("ServerSMTP", QStringLiteral("127.0.0.1"));
        preset("PortaSMTP", portText.isNull() ? QString::number(port) : portText);
        preset("UserSMTP", QStringLiteral("quindra"));
        preset("SenhaSMTP", kPassword);
        shell = std::make_unique<Shell>(ports(), window);
        window.shell = shell.get();
        shell->start();
    }

    // Whether the client wrote the line on connection n.
    static bool wrote(const ScriptedSmtpServer& server, std::size_t n, const std::string& line) {
        const std::vector<std::string> session = server.sessions().at(n);
        return std::find(session.begin(), session.end(), line) != session.end();
    }

    const QString kPassword = QStringLiteral("s3nh@-secreta");
    FakeWindow window;
    std::unique_ptr<Shell> shell;
};

TEST_F(ShellMail, ASwapNoticeGoesOutAndThePasswordIsNeverEchoed) {
    ScriptedSmtpServer server;
    start(server.port());
    shell->mail().messageSwapped();
    loop.advance(1000);
    server.waitFinished(1);
    ASSERT_EQ(server.connections(), 1);
    EXPECT_TRUE(wrote(server, 0, "RCPT TO:<operador@empresa.com.br>"));
    EXPECT_TRUE(echoed.last().endsWith(QStringLiteral(" - E-mail enviado com sucesso.")))
        << echoed.join('\n').toStdString();
    for (const QString& line : echoed + window.log.lines + boxes.errors + boxes.infos)
        EXPECT_FALSE(line.contains(kPassword)) << line.toStdString();
}

TEST_F(ShellMail, TheTestButtonShowsItsBoxesAndItsFailuresReachTheErrorBox) {
    ScriptedSmtpServer server;
    start(server.port());
    // The test mail goes with the fields as they stand, not as last stored.
    window.settings.fields[Field::Recipient] = QStringLiteral("teste@empresa.com.br");
    window.settings.fields[Field::SmtpUser] = QStringLiteral("outro");
    window.pressTest();
    EXPECT_EQ(boxes.infos, QStringList{QStringLiteral("E-mail enviado com sucesso!!!")});
    EXPECT_EQ(server.connections(), 1);
    server.waitFinished(1);
    EXPECT_TRUE(wrote(server, 0, "RCPT TO:<teste@empresa.com.br>"));
    EXPECT_TRUE(wrote(server, 0, QByteArray("outro").toBase64().toStdString()));

    window.settings.fields[Field::SmtpPort] = QStringLiteral("25a");
    window.pressTest();
    EXPECT_EQ(boxes.errors, QStringList{QStringLiteral("'25a' is not a valid integer value.")});
    EXPECT_EQ(server.connections(), 1);
}

// A stored port outside 1..65535 is reported at start and never used
// wrapped; the "Teste" button refuses one on the page the same way.
TEST_F(ShellMail, APortOutsideTheRangeIsRefusedNotWrapped) {
    ScriptedSmtpServer server;
    start(server.port(), QString::number(server.port() + 65536));
    const QString refused =
        QStringLiteral("'%1' is not a valid integer value.").arg(server.port() + 65536);
    EXPECT_EQ(boxes.errors, QStringList{refused});
    EXPECT_EQ(shell->mail().smtp().port, 25);

    boxes.errors.clear();
    window.settings.fields[Field::SmtpPort] = QString::number(server.port() + 65536);
    window.pressTest();
    EXPECT_EQ(boxes.errors, QStringList{refused});
    EXPECT_TRUE(boxes.infos.isEmpty());
    EXPECT_EQ(server.connections(), 0);
}

}  // namespace
