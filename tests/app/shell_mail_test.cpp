#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "app/Shell.h"
#include "config/PasswordKeeper.h"
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
    void start(int port, const QString& portText = {}, PasswordKeeper* keeper = nullptr) {
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
        ShellPorts p = ports();
        p.platform.passwords = keeper;
        shell = std::make_unique<Shell>(std::move(p), window);
        window.shell = shell.get();
        shell->start();
    }

    // Whether the client wrote the line on connection n.
    static bool wrote(const ScriptedSmtpServer& server, std::size_t n, const std::string& line) {
        const std::vector<std::string> session = server.sessions().at(n);
        return std::find(session.begin(), session.end(), line) != session.end();
    }

    // How many status lines say exactly this.
    int logged(const QString& text) const {
        return static_cast<int>(std::count_if(
            window.log.lines.begin(), window.log.lines.end(),
            [&](const QString& l) { return l.endsWith(QStringLiteral(" - ") + text); }));
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

// The desktop's keyring as the program sees it.
class FakeKeeper final : public PasswordKeeper {
public:
    std::optional<QString> read() override {
        if (!answers)
            return std::nullopt;
        return kept;
    }
    bool write(const QString& password) override {
        if (!answers || refuses)
            return false;
        kept = password;
        return true;
    }
    bool answers = true;
    bool refuses = false;
    QString kept;
};

// With a keyring, the password stored by an earlier start moves there and
// leaves the store; the notices still authenticate with it, and a change on
// the page goes to the keyring only.
TEST_F(ShellMail, ThePasswordMovesToTheKeyringAndLeavesTheStore) {
    ScriptedSmtpServer server;
    FakeKeeper keyring;
    start(server.port(), {}, &keyring);
    const QString moved = QStringLiteral(
        "A senha SMTP foi movida do arquivo de configurações para o chaveiro da sessão (Secret "
        "Service).");
    EXPECT_EQ(keyring.kept, kPassword);
    EXPECT_EQ(registry->value(Root::LocalMachine, kConfigKey, QStringLiteral("SenhaSMTP"))->text,
              QString());
    EXPECT_EQ(logged(moved), 1);
    EXPECT_EQ(window.settings.fields.value(Field::SmtpPassword), kPassword);

    shell->mail().messageSwapped();
    loop.advance(1000);
    server.waitFinished(1);
    EXPECT_TRUE(wrote(server, 0, kPassword.toUtf8().toBase64().toStdString()));

    window.edit(Field::SmtpPassword, QStringLiteral("nova-senha"));
    EXPECT_EQ(keyring.kept, QStringLiteral("nova-senha"));
    EXPECT_EQ(shell->mail().smtp().password, QStringLiteral("nova-senha"));
    EXPECT_EQ(registry->value(Root::LocalMachine, kConfigKey, QStringLiteral("SenhaSMTP"))->text,
              QString());
    for (const QString& line : echoed + window.log.lines + boxes.errors)
        EXPECT_FALSE(line.contains(kPassword) || line.contains(QStringLiteral("nova-senha")))
            << line.toStdString();
}

// Without a keyring that answers, or one that refuses it, the store keeps
// the password and one line says where it is.
TEST_F(ShellMail, WithoutAKeyringThePasswordStaysInTheStoreAndALineSaysSo) {
    struct Case {
        const char* name;
        bool answers;
        bool refuses;
        QString why;
    };
    for (const Case& c :
         {Case{"no keyring", false, false,
               QStringLiteral("o chaveiro da sessão (Secret Service) não responde")},
          Case{"refused", true, true,
               QStringLiteral("o chaveiro da sessão (Secret Service) não a aceitou")}}) {
        SCOPED_TRACE(c.name);
        ScriptedSmtpServer server;
        FakeKeeper keyring;
        keyring.answers = c.answers;
        keyring.refuses = c.refuses;
        shell.reset();
        registry.reset();
        registry = std::make_unique<SqliteRegistry>(tmp.path() + QStringLiteral("/") +
                                                    QString::fromLatin1(c.name) + ".db");
        window.log.lines.clear();
        start(server.port(), {}, &keyring);
        EXPECT_EQ(
            registry->value(Root::LocalMachine, kConfigKey, QStringLiteral("SenhaSMTP"))->text,
            kPassword);
        EXPECT_EQ(logged(QStringLiteral("A senha SMTP fica no arquivo de configurações, legível só "
                                        "por este usuário: %1.")
                             .arg(c.why)),
                  1);
        EXPECT_EQ(shell->mail().smtp().password, kPassword);
    }
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

namespace {

// "De:" as stored: shown on the page and the sender of the notices; edited,
// it is stored and followed at once; cleared, the recipient is the sender.
TEST_F(ShellMail, TheStoredSenderSendsTheNotices) {
    ScriptedSmtpServer server;
    ASSERT_TRUE(registry->createKey(Root::LocalMachine, kConfigKey));
    ASSERT_TRUE(registry->setValue(Root::LocalMachine, kConfigKey, QStringLiteral("SendFrom"),
                                   RegValue::String(QStringLiteral("central@empresa.com.br"))));
    start(server.port());
    EXPECT_EQ(window.settings.fields.value(Field::Sender),
              QStringLiteral("central@empresa.com.br"));
    shell->mail().messageSwapped();
    loop.advance(1000);

    window.edit(Field::Sender, QString());
    EXPECT_EQ(registry->value(Root::LocalMachine, kConfigKey, QStringLiteral("SendFrom"))->text,
              QString());
    shell->mail().messageSwapped();
    loop.advance(1000);
    server.waitFinished(2);
    const std::vector<std::vector<std::string>> sessions = server.sessions();
    ASSERT_EQ(sessions.size(), 2u);
    const auto mailFrom = [&](std::size_t n) {
        for (const std::string& line : sessions[n])
            if (line.rfind("MAIL FROM:", 0) == 0)
                return line.substr(0, line.find('>') + 1);
        return std::string("(none)");
    };
    EXPECT_EQ(mailFrom(0), "MAIL FROM:<central@empresa.com.br>");
    EXPECT_EQ(mailFrom(1), "MAIL FROM:<operador@empresa.com.br>");
}

}  // namespace
