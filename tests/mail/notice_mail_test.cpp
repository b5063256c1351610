#include <gtest/gtest.h>

#include <QLocale>
#include <regex>
#include <set>
#include <thread>

#include "core/AppError.h"
#include "core/VirtualEventLoop.h"
#include "mail/MailNotices.h"
#include "mail/MailOffice.h"
#include "mail/MailRig.h"
#include "mail/ScriptedSmtpServer.h"
#include "support/FakeClock.h"
#include "support/FakeLog.h"

using namespace quindra;
using quindra::testing::ScriptedSmtpServer;
using Scripts = std::vector<ScriptedSmtpServer::Replies>;
using Lines = std::vector<std::string>;

namespace {

// A port no server listens on.
int closedPort() {
    ScriptedSmtpServer gone;
    return gone.port();
}

const QString kRecipient = QStringLiteral("operador@empresa.com.br");

struct Notices : ::testing::Test {
    Notices() {
        mail.setRecipient(kRecipient);
        page.recipient = kRecipient;
        page.server.host = QStringLiteral("127.0.0.1");
        onAir.file = QStringLiteral("/opt/quindra/Audio/promo.wav");
        onAir.history.previousFile = QStringLiteral("antiga.wav");
        office.client().heloName = QStringLiteral("estacao");
        office.client().readTimeout = std::chrono::seconds(5);
        mail.smtp().host = QStringLiteral("127.0.0.1");
        loop.setUncaughtHandler([this](const std::exception& e) { errors << ErrorText(e); });
    }

    void on(bool secure = false) {
        mail.setEnabled(true);
        mail.setOnSwap(true);
        mail.setOnHardware(true);
        mail.setSecure(secure);
    }
    void use(const ScriptedSmtpServer& server) {
        mail.smtp().port = server.port();
        page.server.port = server.port();
    }

    // The messages the server accepted, each as its lines between DATA and ".".
    static std::vector<Lines> received(const ScriptedSmtpServer& server) {
        std::vector<Lines> out;
        for (const Lines& s : server.sessions()) {
            auto data = std::find(s.begin(), s.end(), "DATA");
            if (data == s.end())
                continue;
            auto end = std::find(data, s.end(), ".");
            out.emplace_back(data + 1, end);
        }
        return out;
    }
    static std::string header(const Lines& message, const std::string& name) {
        for (const std::string& l : message)
            if (l.rfind(name + ": ", 0) == 0)
                return l.substr(name.size() + 2);
        return "(none)";
    }
    // Presses "Teste" and lets the loop run until the test has ended, as the
    // window does; false when a test was already running.
    static bool runTest(VirtualEventLoop& loop, MailOffice& office, const MailSettings& page) {
        bool ended = false;
        if (!office.sendTestMail(page, [&ended] { ended = true; }))
            return false;
        while (!ended) {
            loop.processPendingMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_FALSE(office.testRunning());
        return true;
    }
    bool runTest() { return runTest(loop, office, page); }

    static Lines body(const Lines& message) {
        const auto blank = std::find(message.begin(), message.end(), "");
        return Lines(blank + 1, message.end());
    }

    VirtualEventLoop loop;
    quindra::testing::FakeLog log;
    quindra::testing::FakeClock clock{
        QDateTime(QDate(2026, 12, 10), QTime(14, 5, 33), QTimeZone(-10800))};
    quindra::testing::FakeInfoBoxes infos;
    MessageOnAir onAir;
    // The mail settings as the page shows them, for the "Teste" button.
    MailSettings page;
    QStringList errors;
    MailNotices mail{loop};
    MailOffice office{mail,
                      {.log = log,
                       .clock = clock,
                       .formats = LocaleFormats(QLocale(QStringLiteral("pt_BR"))),
                       .onAir = onAir,
                       .boxes = infos}};
};

const QString kSending1 = QStringLiteral("Enviando e-mail de troca de arquivo de áudio.");
const QString kSending2 = QStringLiteral("Enviando e-mail de hardware desconectado.");
const QString kSending3 = QStringLiteral("Enviando e-mail de hardware reconectado.");
const QString kSent = QStringLiteral("E-mail enviado com sucesso.");
const QString kFailed = QStringLiteral("Erro ao enviar e-mail.");

TEST_F(Notices, ASwapNoticeGoesOutASecondAfterTheSwap) {
    ScriptedSmtpServer server;
    use(server);
    on();
    onAir.history.previousFile.clear();
    mail.messageSwapped();
    loop.advance(999);
    EXPECT_TRUE(log.lines.isEmpty());
    loop.advance(1);
    EXPECT_EQ(log.lines, QStringList({kSending1, kSent}));
    EXPECT_FALSE(mail.flags().pending);
    EXPECT_TRUE(office.message().isEmpty());

    server.waitFinished(1);
    const std::vector<Lines> got = received(server);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(header(got[0], "From"), "\"Quindra Vizudu\" <operador@empresa.com.br>");
    EXPECT_EQ(header(got[0], "Subject"),
              "Quindra Vizudu troca de arquivo de =?ISO-8859-1?Q?=E1udio.?=");
    EXPECT_EQ(header(got[0], "X-Priority"), "1");
    EXPECT_EQ(body(got[0]), (Lines{"Quindra Vizudu envio de email!!!", "", "",
                                   "Ocorreu uma troca de arquivo de \xE1udio.", "", "",
                                   "O nome do arquivo anterior \xE9: .", "", "",
                                   "O nome do arquivo atual \xE9: promo.wav.", "", "",
                                   "Enviado pelo computador: " + ComputerName().toStdString()}));

    // The next swap quotes the message before it.
    onAir.history.previousFile = QStringLiteral("antiga.wav");
    mail.messageSwapped();
    loop.advance(1000);
    server.waitFinished(2);
    const std::vector<Lines> next = received(server);
    ASSERT_EQ(next.size(), 2u);
    EXPECT_EQ(body(next[1])[6], "O nome do arquivo anterior \xE9: antiga.wav.");

    // A name holding a line break cannot add a line of its own to the notice.
    onAir.history.previousFile = QStringLiteral("x\nData: 01/01/2026.wav");
    onAir.file = QStringLiteral("/m/y\r\nFeito.wav");
    mail.messageSwapped();
    loop.advance(1000);
    server.waitFinished(3);
    const std::vector<Lines> forged = received(server);
    ASSERT_EQ(forged.size(), 3u);
    EXPECT_EQ(body(forged[2])[6], "O nome do arquivo anterior \xE9: x\\nData: 01/01/2026.wav.");
    EXPECT_EQ(body(forged[2])[9], "O nome do arquivo atual \xE9: y\\r\\nFeito.wav.");
}

// What the message will sound like on the phone, as the status log said it
// after the swap, closes the swap notice in a paragraph of its own.
TEST_F(Notices, ASwapNoticeEndsWithWhatTheMessageWillSoundLike) {
    ScriptedSmtpServer server;
    use(server);
    on();
    onAir.history.previousFile = QStringLiteral("antiga.wav");
    onAir.soundNotes = {
        QStringLiteral("Duração 0:32 · volume −41,0 LUFS · pico real −1,2 dBTP · 4% fora da "
                       "faixa telefônica"),
        QStringLiteral("Atenção: esta mensagem está muito baixa.")};
    mail.messageSwapped();
    loop.advance(1000);
    server.waitFinished(1);
    const std::vector<Lines> got = received(server);
    ASSERT_EQ(got.size(), 1u);
    const Lines b = body(got[0]);
    // The sending computer's line closes every notice.
    ASSERT_EQ(b.size(), 17u);
    EXPECT_EQ(b[9], "O nome do arquivo atual \xE9: promo.wav.");
    EXPECT_EQ(Lines(b.begin() + 10, b.begin() + 14),
              (Lines{"", "",
                     "Dura\xE7\xE3o 0:32 \xB7 volume -41,0 LUFS \xB7 pico real -1,2 dBTP \xB7 4% "
                     "fora da faixa telef\xF4nica",
                     "Aten\xE7\xE3o: esta mensagem est\xE1 muito baixa."}));
    EXPECT_EQ(b[16].rfind("Enviado pelo computador: ", 0), 0u) << b[16];
}

TEST_F(Notices, NothingIsArmedOrComposedWithMailOff) {
    ScriptedSmtpServer server;
    use(server);
    mail.setOnSwap(true);
    mail.setOnHardware(true);
    mail.messageSwapped();
    mail.hardwareDisconnected();
    mail.hardwareReconnected();
    loop.advance(10000);
    EXPECT_TRUE(log.lines.isEmpty());
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(Notices, AnOptionSwitchedOffBeforeTheTimerFiresComposesNothing) {
    ScriptedSmtpServer server;
    use(server);
    on();
    mail.messageSwapped();
    mail.setOnSwap(false);
    loop.advance(1000);
    EXPECT_TRUE(log.lines.isEmpty());
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(Notices, ReplugsAndUnplugsWithinTheCountdown) {
    ScriptedSmtpServer server;
    use(server);
    on();
    // Two arrivals within 3 s: one run, one mail.
    mail.hardwareReconnected();
    loop.advance(2000);
    mail.hardwareReconnected();
    loop.advance(5000);
    EXPECT_EQ(log.lines, QStringList({kSending3, kSent}));

    // An unplug, then a replug within 3 s: two mails on two connections.
    log.lines.clear();
    mail.hardwareDisconnected();
    loop.advance(1000);
    mail.hardwareReconnected();
    loop.advance(5000);
    EXPECT_EQ(log.lines, QStringList({kSending2, kSent, kSending3, kSent}));
    server.waitFinished(3);
    const std::vector<Lines> got = received(server);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(header(got[1], "Subject"), "Quindra Vizudu aviso de Hardware Desconectado.");
    EXPECT_EQ(body(got[1]), (Lines{"Quindra Vizudu envio de email!!!", "", "",
                                   "O Quindra Vizudu foi desconectada do computador:", "", "",
                                   "Data: 10/12/2026  Hora: 14:05:33", "", "",
                                   "Enviado pelo computador: " + ComputerName().toStdString()}));
    EXPECT_EQ(header(got[2], "Subject"), "Quindra Vizudu aviso de Hardware reconectado.");
    EXPECT_EQ(body(got[2])[3], "O Quindra Vizudu foi reconectada ao computador:");
}

TEST_F(Notices, ThePlainPathTriesTwice) {
    // The first attempt is refused and the retry is accepted: two connections.
    const ScriptedSmtpServer::Replies refused = {{"MAIL", "451 Try again later\r\n"}};
    ScriptedSmtpServer server(Scripts{refused, {}, refused, {}});
    use(server);
    on();
    office.sendNotice(MailNotices::HardwareDisconnected);
    EXPECT_EQ(log.lines, QStringList({kSending2, kSent}));
    EXPECT_EQ(server.connections(), 2);

    // The retry authenticates again, on the same server.
    log.lines.clear();
    mail.smtp().auth = SmtpClientSettings::Auth::None;
    office.sendNotice(MailNotices::HardwareDisconnected);
    EXPECT_EQ(log.lines, QStringList({kSending2, kSent}));
    server.waitFinished(4);
    ASSERT_EQ(server.connections(), 4);
    const auto authenticated = [&server](int n) {
        const Lines s = server.sessions()[static_cast<std::size_t>(n)];
        return std::find(s.begin(), s.end(), "AUTH LOGIN") != s.end();
    };
    EXPECT_FALSE(authenticated(2));
    EXPECT_TRUE(authenticated(3));
    EXPECT_EQ(mail.smtp().auth, SmtpClientSettings::Auth::Login);
    EXPECT_EQ(mail.smtp().host, QStringLiteral("127.0.0.1"));
}

TEST_F(Notices, BothPlainAttemptsFailAndTheNoticeIsDropped) {
    ScriptedSmtpServer server(Scripts{{{"DATA", "554 No valid recipients\r\n"}}});
    use(server);
    on();
    mail.setRecipient({});
    office.sendNotice(MailNotices::MessageSwapped);
    EXPECT_EQ(log.lines,
              QStringList({kSending1, kFailed,
                           QStringLiteral("Motivo: o servidor recusou o e-mail (código 554).")}));
    EXPECT_TRUE(office.message().isEmpty());

    // An empty recipient: the sender is "<>", and no RCPT TO is written.
    server.waitFinished(2);
    const Lines s = server.sessions()[0];
    EXPECT_NE(std::find_if(s.begin(), s.end(),
                           [](const std::string& l) { return l.rfind("MAIL FROM:<> ", 0) == 0; }),
              s.end());
    EXPECT_EQ(std::count_if(s.begin(), s.end(),
                            [](const std::string& l) { return l.rfind("RCPT", 0) == 0; }),
              0);

    // The dropped notice is not sent again as an empty mail by a later call
    // whose own option is off.
    mail.setOnSwap(false);
    office.sendNotice(MailNotices::MessageSwapped);
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(log.lines.size(), 3);
    EXPECT_FALSE(mail.flags().pending);
}

TEST_F(Notices, AFailedSecureSendKeepsTheNoticeForTheNextMail) {
    mail.smtp().port = closedPort();
    on(true);
    mail.hardwareDisconnected();
    loop.advance(3000);
    const QStringList failure = {
        kSending2, kFailed, QStringLiteral("Motivo: o servidor recusou a conexão nesta porta.")};
    EXPECT_EQ(log.lines, failure);
    EXPECT_EQ(errors, QStringList({QStringLiteral("Socket Error # 111\r\nConnection refused.")}));
    EXPECT_TRUE(mail.flags().pending);
    EXPECT_FALSE(office.client().connected());

    // The next notice carries both; the plain path no longer speaks TLS
    // after the secure attempt.
    ScriptedSmtpServer server;
    use(server);
    mail.setSecure(false);
    mail.hardwareReconnected();
    loop.advance(3000);
    EXPECT_EQ(log.lines, failure + QStringList({kSending3, kSent}));
    server.waitFinished(1);
    const std::vector<Lines> got = received(server);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(header(got[0], "Subject"), "Quindra Vizudu aviso de Hardware reconectado.");
    const Lines b = body(got[0]);
    EXPECT_EQ(std::count(b.begin(), b.end(), "Quindra Vizudu envio de email!!!"), 2);
    EXPECT_NE(std::find(b.begin(), b.end(), "O Quindra Vizudu foi desconectada do computador:"),
              b.end());
}

TEST_F(Notices, ARecipientTextThatCannotBeParsedFailsTheComposition) {
    ScriptedSmtpServer server;
    use(server);
    on();
    mail.setRecipient(QStringLiteral("op <a@x.com>@y.com"));
    mail.messageSwapped();
    loop.advance(1000);
    EXPECT_EQ(errors, QStringList({QStringLiteral("@ Outside address")}));
    EXPECT_TRUE(log.lines.isEmpty());
    EXPECT_TRUE(mail.flags().pending);
    EXPECT_EQ(office.message().subject, QString());
    EXPECT_EQ(office.message().body.size(), 9);  // with the computer line
    EXPECT_EQ(server.connections(), 0);
}

// Over TLS from the first byte, a failure is written with its reason as well
// as shown in the box: an unattended program has nobody to read the box.
TEST_F(Notices, AFailedSecureSendIsWrittenWithItsReason) {
    struct Case {
        const char* name;
        ScriptedSmtpServer::Replies script;
        QString reason;
    };
    for (const Case& c : {
             Case{"silent",
                  {{"greeting", "silent"}},
                  QStringLiteral("o servidor não respondeu em 1 s")},
             Case{"plain text on the port",
                  {},
                  QStringLiteral("a porta do servidor não usa TLS, mas \"Autenticação Segura\" "
                                 "está marcada")},
         }) {
        SCOPED_TRACE(c.name);
        log.lines.clear();
        errors.clear();
        ScriptedSmtpServer server(Scripts{c.script});
        use(server);
        office.client().readTimeout = std::chrono::seconds(1);
        on(true);
        mail.hardwareDisconnected();
        loop.advance(3000);
        EXPECT_EQ(log.lines.mid(log.lines.size() - 2),
                  QStringList({kFailed, QStringLiteral("Motivo: ") + c.reason + '.'}));
        EXPECT_EQ(errors.size(), 1);  // the box, with the failure's own text
        EXPECT_TRUE(mail.flags().pending);
    }
}

// The plain path's failure line is followed by the last attempt's reason, in
// the operator's words.
TEST_F(Notices, AFailedPlainSendIsWrittenWithItsReason) {
    struct Case {
        const char* name;
        ScriptedSmtpServer::Replies script;
        QString host;
        QString reason;
    };
    for (const Case& c : {
             Case{"password",
                  {{"PASS", "535 5.7.8 Authentication credentials invalid\r\n"}},
                  QStringLiteral("127.0.0.1"),
                  QStringLiteral("o servidor recusou o usuário ou a senha")},
             Case{"silent",
                  {{"greeting", "silent"}},
                  QStringLiteral("127.0.0.1"),
                  QStringLiteral("o servidor não respondeu em 1 s")},
             Case{"no server name",
                  {},
                  QString(),
                  QStringLiteral("o nome do servidor não foi encontrado")},
         }) {
        SCOPED_TRACE(c.name);
        log.lines.clear();
        ScriptedSmtpServer server(Scripts{c.script});
        use(server);
        mail.smtp().host = c.host;
        office.client().readTimeout = std::chrono::seconds(1);
        on();
        office.sendNotice(MailNotices::HardwareReconnected);
        EXPECT_EQ(log.lines,
                  QStringList({kSending3, kFailed, QStringLiteral("Motivo: ") + c.reason + '.'}));
    }
}

// A line break in "Enviar para" would make the text after it a recipient of
// its own and rewrite the headers; any control character sends nothing.
TEST_F(Notices, ARecipientHoldingAControlCharacterSendsNothing) {
    const QString refused = QStringLiteral(
        "E-mail não enviado: o endereço em \"Enviar para\" tem um caractere de controle.");
    ScriptedSmtpServer server;
    use(server);
    for (const bool secure : {false, true}) {
        for (const QString& text : {kRecipient + QStringLiteral("\r\nintruso2@fora.com"),
                                    QStringLiteral("op@empresa.com.br\rintruso@fora.com"),
                                    QStringLiteral("op@empresa.com.br\nRCPT TO:<intruso@fora.com>"),
                                    QStringLiteral("op@emp\x01resa.com.br")}) {
            SCOPED_TRACE(text.toStdString());
            log.lines.clear();
            on(secure);
            mail.setRecipient(text);
            mail.messageSwapped();
            loop.advance(1000);
            EXPECT_EQ(log.lines, QStringList({kSending1, refused}));
            EXPECT_TRUE(errors.isEmpty());
            EXPECT_EQ(server.connections(), 0);
        }
    }
    // The notices wait for a recipient that can be used, and go out with it.
    log.lines.clear();
    mail.setSecure(false);
    mail.setRecipient(kRecipient);
    mail.hardwareReconnected();
    loop.advance(3000);
    EXPECT_EQ(log.lines, QStringList({kSending3, kSent}));
    server.waitFinished(1);
    const Lines s = server.sessions()[0];
    EXPECT_EQ(std::count_if(s.begin(), s.end(),
                            [](const std::string& l) { return l.rfind("RCPT TO:", 0) == 0; }),
              1);
    EXPECT_NE(std::find(s.begin(), s.end(), "RCPT TO:<" + kRecipient.toStdString() + ">"), s.end());
    const std::vector<Lines> got = received(server);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(header(got[0], "To"), kRecipient.toStdString());

    // The "Teste" button says so in its box, and sends nothing either.
    page.recipient = QStringLiteral("op@empresa.com.br\r\nintruso@fora.com");
    EXPECT_TRUE(runTest());
    EXPECT_EQ(infos.shown, QStringList{refused});
    EXPECT_EQ(server.connections(), 1);
    EXPECT_TRUE(office.message().isEmpty());
}

// A stop of the program during a notice to a server that holds it: the
// exchange ends at once, nothing is retried, and the log says the notice was
// not sent.
TEST_F(Notices, AStopAbandonsTheExchangeAtOnce) {
    const QString abandoned =
        QStringLiteral("E-mail não enviado: o sistema foi finalizado durante o envio.");
    struct Case {
        const char* name;
        bool secure;
        ScriptedSmtpServer::Replies script;
    };
    for (const Case& c : {Case{"plain, silent after DATA", false, {{"DATA", "silent"}}},
                          Case{"TLS, silent handshake", true, {{"greeting", "silent"}}}}) {
        SCOPED_TRACE(c.name);
        log.lines.clear();
        ScriptedSmtpServer server(Scripts{c.script});
        // A program of its own: the switch, once thrown, stays thrown.
        MailNotices notices(loop);
        MailOffice stopping{notices,
                            {.log = log,
                             .clock = clock,
                             .formats = LocaleFormats(QLocale(QStringLiteral("pt_BR"))),
                             .onAir = onAir,
                             .boxes = infos}};
        notices.setRecipient(kRecipient);
        notices.setEnabled(true);
        notices.setOnHardware(true);
        notices.setSecure(c.secure);
        notices.smtp().host = QStringLiteral("127.0.0.1");
        notices.smtp().port = server.port();
        page.server.port = server.port();
        ASSERT_EQ(stopping.client().readTimeout, std::chrono::seconds(30));

        const auto started = std::chrono::steady_clock::now();
        std::thread stop([&stopping] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            stopping.client().abortSwitch().trigger();
        });
        notices.hardwareDisconnected();
        loop.advance(3000);
        stop.join();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        EXPECT_EQ(log.lines, QStringList({kSending2, abandoned}));
        EXPECT_TRUE(errors.isEmpty());
        EXPECT_EQ(server.connections(), 1);
        EXPECT_FALSE(stopping.client().connected());
        EXPECT_TRUE(notices.flags().pending);

        // Every later exchange ends before it begins, and no box waits.
        log.lines.clear();
        EXPECT_TRUE(runTest(loop, stopping, page));
        EXPECT_TRUE(infos.shown.isEmpty());
        notices.hardwareReconnected();
        loop.advance(3000);
        EXPECT_EQ(log.lines, QStringList({kSending3, abandoned}));
        EXPECT_EQ(server.connections(), 1);
    }
}

struct SettingsTest : Notices {};

const QString kBoxSent = QStringLiteral("E-mail enviado com sucesso!!!");
const QString kBoxFailed = QStringLiteral("Ocorreu um erro verifique suas configurações.");
const QString kBoxSecureFailed = QStringLiteral("Erro ao enviar E-mail!!!");
const QString kRefusedPort = QStringLiteral("Motivo: o servidor recusou a conexão nesta porta.");

TEST_F(SettingsTest, BoxesOnThePlainPath) {
    struct Case {
        const char* name;
        std::vector<ScriptedSmtpServer::Replies> scripts;
        bool reachable;
        QStringList boxes;
        int connections;
    };
    // One box, after the retry: the outcome, and under a failure its reason.
    for (const Case& c : {
             Case{"works", {{}}, true, {kBoxSent}, 1},
             Case{"second attempt", {{{"RCPT", "450 Busy\r\n"}}, {}}, true, {kBoxSent}, 2},
             Case{"refused twice",
                  {{{"PASS", "535 Bad credentials\r\n"}}},
                  true,
                  {kBoxFailed + "\nMotivo: o servidor recusou o usuário ou a senha."},
                  2},
             Case{"unreachable", {{}}, false, {kBoxFailed + '\n' + kRefusedPort}, 0},
         }) {
        SCOPED_TRACE(c.name);
        infos.shown.clear();
        ScriptedSmtpServer server(c.scripts);
        use(server);
        if (!c.reachable)
            page.server.port = closedPort();
        EXPECT_TRUE(runTest());
        EXPECT_EQ(infos.shown, c.boxes);
        EXPECT_EQ(server.connections(), c.connections);
        EXPECT_FALSE(office.client().connected());
        EXPECT_TRUE(office.message().isEmpty());
    }
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(SettingsTest, TheTestMailAndWhatItLeavesBehind) {
    ScriptedSmtpServer server;
    use(server);
    page.server.user = QStringLiteral("quindra");
    page.server.password = QStringLiteral("segredo");
    EXPECT_TRUE(runTest());
    EXPECT_TRUE(runTest());
    EXPECT_EQ(mail.smtp().port, server.port());
    EXPECT_EQ(mail.smtp().user, QStringLiteral("quindra"));

    on();
    office.sendNotice(MailNotices::HardwareReconnected);
    server.waitFinished(3);
    const std::vector<Lines> got = received(server);
    ASSERT_EQ(got.size(), 3u);
    const Lines testBody = {"SUCESSO NO ENVIO",
                            "",
                            "",
                            "Quindra Vizudu envio de E-mail!!!",
                            "",
                            "",
                            "",
                            "",
                            "Teste Efetuado com Sucesso.",
                            "",
                            "",
                            "Enviado pelo computador: " + ComputerName().toStdString()};
    EXPECT_EQ(header(got[0], "Subject"), "TESTE DE ENVIO DE E-MAIL Quindra Vizudu");
    EXPECT_EQ(body(got[0]), testBody);
    EXPECT_EQ(body(got[1]), testBody);
    EXPECT_EQ(body(got[2]).size(), 10u);  // the notice alone
    // The account went with each connection.
    const Lines s = server.sessions()[0];
    EXPECT_NE(std::find(s.begin(), s.end(), "c2VncmVkbw=="), s.end());
}

TEST_F(SettingsTest, APendingNoticeGoesOutAtTheHeadOfTheTest) {
    mail.smtp().port = closedPort();
    on(true);
    EXPECT_THROW(office.sendNotice(MailNotices::HardwareDisconnected), AppError);

    ScriptedSmtpServer server;
    use(server);
    EXPECT_TRUE(runTest());
    server.waitFinished(1);
    const std::vector<Lines> got = received(server);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(body(got[0]).front(), "Quindra Vizudu envio de email!!!");
    EXPECT_EQ(body(got[0])[body(got[0]).size() - 4], "Teste Efetuado com Sucesso.");
    EXPECT_TRUE(mail.flags().pending);

    // Nothing is left to send: no empty mail follows.
    mail.setOnHardware(false);
    mail.setSecure(false);
    office.sendNotice(MailNotices::HardwareDisconnected);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_FALSE(mail.flags().pending);
}

TEST_F(SettingsTest, ASecureConnectThatFailsGivesItsReasonInTheBox) {
    // Secure and unreachable: one attempt, one box with the reason. The
    // secure path follows the page, not the stored option.
    page.server.port = closedPort();
    page.secure = true;
    EXPECT_TRUE(runTest());
    EXPECT_EQ(infos.shown, QStringList{kBoxSecureFailed + '\n' + kRefusedPort});
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(office.message().isEmpty());
}

}  // namespace

namespace {

// A server that never answers: the test runs on while the loop goes on (its
// timers fire, its posted work runs), a second press does nothing, and the
// one box says the server did not answer in time.
TEST_F(SettingsTest, ASilentServerLeavesTheLoopRunningAndGivesTheTimeOut) {
    ScriptedSmtpServer server(Scripts{{{"greeting", "silent"}}});
    use(server);
    office.client().readTimeout = std::chrono::seconds(1);
    int ticks = 0;
    const auto timer = loop.createTimer(100, [&ticks] { ++ticks; });
    timer->setEnabled(true);

    bool ended = false;
    ASSERT_TRUE(office.sendTestMail(page, [&ended] { ended = true; }));
    EXPECT_TRUE(office.testRunning());
    EXPECT_FALSE(office.sendTestMail(page, [] { ADD_FAILURE() << "a second test ran"; }));
    while (!ended) {
        loop.advance(100);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GT(ticks, 10);  // two attempts of a second each, the loop running
    EXPECT_EQ(infos.shown, QStringList{kBoxFailed + "\nMotivo: o servidor não respondeu em 1 s."});
    EXPECT_EQ(server.connections(), 2);
    EXPECT_FALSE(office.client().connected());
}

// The program closing while a test waits on a silent server: the test is
// abandoned at once, no box is shown and nothing is left running.
TEST_F(SettingsTest, ClosingDuringATestNeitherWaitsNorShowsABox) {
    ScriptedSmtpServer server(Scripts{{{"greeting", "silent"}}});
    use(server);
    bool ended = false;
    const auto started = std::chrono::steady_clock::now();
    {
        MailNotices notices(loop);
        MailOffice closing{notices,
                           {.log = log,
                            .clock = clock,
                            .formats = LocaleFormats(QLocale(QStringLiteral("pt_BR"))),
                            .onAir = onAir,
                            .boxes = infos}};
        ASSERT_EQ(closing.client().readTimeout, std::chrono::seconds(30));
        ASSERT_TRUE(closing.sendTestMail(page, [&ended] { ended = true; }));
        while (server.connections() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    loop.processPendingMessages();
    EXPECT_FALSE(ended);
    EXPECT_TRUE(infos.shown.isEmpty());
}

// "De:" is the sender of the envelope and of the From line; empty, the
// recipient is, as before. Each mail carries a Message-ID of its own and
// names the computer that sent it. A sender holding a control character
// sends nothing.
TEST_F(Notices, TheSenderTheMessageIdAndTheComputer) {
    ScriptedSmtpServer server;
    use(server);
    on();
    mail.setSender(QStringLiteral("central@empresa.com.br"));
    mail.hardwareDisconnected();
    loop.advance(3000);
    page.sender = QStringLiteral("mesa@empresa.com.br");
    EXPECT_TRUE(runTest());
    mail.setSender(QString());
    mail.hardwareReconnected();
    loop.advance(3000);
    server.waitFinished(3);

    const std::vector<Lines> got = received(server);
    ASSERT_EQ(got.size(), 3u);
    const std::vector<Lines> sessions = server.sessions();
    const char* senders[] = {"central@empresa.com.br", "mesa@empresa.com.br",
                             "operador@empresa.com.br"};
    std::set<std::string> ids;
    const std::regex messageId(R"(<[0-9a-z]+\.[0-9a-z]+@[A-Za-z0-9.-]+>)");
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const std::string from = senders[i];
        EXPECT_EQ(header(got[i], "From"), "\"Quindra Vizudu\" <" + from + ">");
        EXPECT_EQ(header(got[i], "To"), kRecipient.toStdString());
        const Lines& s = sessions[i];
        EXPECT_NE(std::find_if(s.begin(), s.end(),
                               [&](const std::string& l) {
                                   return l.rfind("MAIL FROM:<" + from + ">", 0) == 0;
                               }),
                  s.end());
        const std::string id = header(got[i], "Message-ID");
        EXPECT_TRUE(std::regex_match(id, messageId)) << id;
        ids.insert(id);
        EXPECT_EQ(body(got[i]).back(), "Enviado pelo computador: " + ComputerName().toStdString());
    }
    EXPECT_EQ(ids.size(), 3u);

    const QString refused =
        QStringLiteral("E-mail não enviado: o endereço em \"De:\" tem um caractere de controle.");
    log.lines.clear();
    mail.setSender(QStringLiteral("central@empresa.com.br\r\nRCPT TO:<intruso@fora.com>"));
    mail.hardwareReconnected();
    loop.advance(3000);
    EXPECT_EQ(log.lines, QStringList({kSending3, refused}));
    page.sender = mail.sender();
    EXPECT_TRUE(runTest());
    EXPECT_EQ(infos.shown.last(), refused);
    EXPECT_EQ(server.connections(), 3);
}

TEST(MessageId, AHostNameThatIsNoDotAtomBecomesLocalhost) {
    for (const char* host : {"", "está", "a b", ".x", "x..y", "x.", "<x>"})
        EXPECT_TRUE(NewMessageId(QString::fromUtf8(host)).endsWith(QStringLiteral("@localhost>")))
            << host;
    EXPECT_TRUE(
        NewMessageId(QStringLiteral("pc-07.empresa")).endsWith(QStringLiteral("@pc-07.empresa>")));
}

}  // namespace
