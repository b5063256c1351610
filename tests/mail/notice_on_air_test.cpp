#include <gtest/gtest.h>
#include <sndfile.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <sstream>
#include <string>

#include "TestAudio.h"
#include "VirtualHoldDevice.h"
#include "config/SqliteRegistry.h"
#include "config/Values.h"
#include "core/QtEventLoop.h"
#include "mail/MailServerProcess.h"
#include "support/ProgramEnvironment.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

// The real program on a private sound server with the virtual hold device,
// mailing through a loopback SMTP server that takes ten seconds to accept
// each message: the swap notice goes out while the new message is on air,
// and the switchboard must not hear the wait.
class NoticeOnAir : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(device.start());
        for (const char* d : {"app/Audio", "home/Vizudu Telefônica", "config", "runtime"})
            ASSERT_TRUE(QDir(home.path()).mkpath(QString::fromUtf8(d)));
        QFile::setPermissions(
            home.filePath(QStringLiteral("runtime")),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        writeSound(home.filePath(QStringLiteral("app/Audio/espera.wav")),
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, noise(44100 * 4 / 10, 7));
    }

    void configureMail(int port) {
        SqliteRegistry store(home.filePath(QStringLiteral("registry.db")));
        ASSERT_TRUE(store.createKey(Root::LocalMachine, kConfigKey));
        const auto set = [&](const char* name, const QString& text) {
            ASSERT_TRUE(store.setValue(Root::LocalMachine, kConfigKey, QString::fromLatin1(name),
                                       RegValue::String(text)));
        };
        set("SendMail", QStringLiteral("-1"));
        set("TrocaMsg", QStringLiteral("-1"));
        set("HardDesc", QStringLiteral("0"));
        set("AuthSeguro", QStringLiteral("0"));
        set("SendTo", QStringLiteral("operador@empresa.com.br"));
        set("ServerSMTP", QStringLiteral("127.0.0.1"));
        set("PortaSMTP", QString::number(port));
        set("UserSMTP", QStringLiteral("quindra"));
        set("SenhaSMTP", QStringLiteral("segredo"));
    }

    void startProgram() {
        QProcessEnvironment env = ProgramEnvironment(QDir(home.path()));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QUINDRA_PROGRAM), {});
        ASSERT_TRUE(program.waitForStarted(5000));
    }

    bool logged(const QString& line) {
        output += QString::fromUtf8(program.readAllStandardOutput());
        return output.contains(line);
    }
    std::string journal() {
        logged({});
        return output.toStdString() + program.readAllStandardError().toStdString();
    }

    void TearDown() override {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }

    QTemporaryDir home;
    VirtualHoldDevice device;
    QProcess program;
    QString output;
    QtEventLoop loop;
};

TEST_F(NoticeOnAir, ASlowMailServerIsNeverHeardOnTheLine) {
    MailServerProcess::Options slow;
    slow.holdDataSeconds = 10;
    MailServerProcess server(QStringLiteral(QUINDRA_SMTP_SERVER), slow);
    configureMail(server.port());
    PlayedAudio played(device.playedFifo());
    startProgram();
    ASSERT_TRUE(waitFor(
        loop, [&] { return logged(QStringLiteral("Stream inicializado")); },
        std::chrono::seconds(20)))
        << journal();

    // A 2.5-second message dropped as a file manager does: written
    // elsewhere, then moved in.
    const auto promo = noise(44100 * 5 / 2, 11);
    const QString written = home.filePath(QStringLiteral("home/promo.wav"));
    writeSound(written, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, promo);
    ASSERT_TRUE(
        QFile::rename(written, home.filePath(QStringLiteral("home/Vizudu Telefônica/promo.wav"))));

    // Where the hold device's stream stood when the notice started to go
    // out and when it had gone. A file moved into the drop folder goes on air
    // a short settle after it arrives, seconds after the start.
    ASSERT_TRUE(waitFor(
        loop,
        [&] { return logged(QStringLiteral("Enviando e-mail de troca de arquivo de áudio.")); },
        std::chrono::seconds(90)))
        << journal();
    const std::size_t sending = played.size();
    ASSERT_TRUE(waitFor(
        loop, [&] { return logged(QStringLiteral("E-mail enviado com sucesso.")); },
        std::chrono::seconds(40)))
        << journal();
    const std::size_t sent = played.size();
    EXPECT_GE(sent - sending, 44100u * 9) << "the server held the message for 10 s";
    const QByteArray mail = server.message(1);
    EXPECT_TRUE(
        mail.contains("Subject: Quindra Vizudu troca de arquivo de "
                      "=?ISO-8859-1?Q?=E1udio.?=\r\n"))
        << mail.toStdString();
    EXPECT_TRUE(mail.contains("O nome do arquivo atual \xE9: promo.wav.\r\n"));

    // Over the whole time the mail was being sent, the hold device played
    // the new message pass after pass: not a sample inserted or lost at a
    // join, no silence.
    waitFor(
        loop, [] { return false; }, std::chrono::seconds(3));
    const auto samples = played.samples();
    const auto first = findStart(samples, promo);
    ASSERT_TRUE(first.has_value());
    std::vector<std::size_t> starts;  // every whole pass, for the report
    for (auto at = samples.begin() + static_cast<std::ptrdiff_t>(*first);
         (at = std::search(at, samples.end(), promo.begin(), promo.end())) != samples.end();
         at += static_cast<std::ptrdiff_t>(promo.size()))
        starts.push_back(static_cast<std::size_t>(at - samples.begin()));
    std::ostringstream report;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        report << ' ' << starts[i] * 1000 / 44100 << "ms";
        if (i)
            report << "(+" << starts[i] - starts[i - 1] - promo.size() << ')';
    }
    // The pass that was playing when the send began, and how far the
    // unbroken run of passes from it reaches.
    std::size_t from = *first;
    for (const std::size_t s : starts)
        if (s <= sending)
            from = s;
    const std::size_t reach = from + exactRepeats(samples, from, promo) * promo.size();
    EXPECT_LE(from, sending) << "sending at " << sending * 1000 / 44100
                             << "ms; passes:" << report.str();
    EXPECT_GE(reach, sent) << "sending " << sending * 1000 / 44100 << "ms to "
                           << sent * 1000 / 44100 << "ms; passes (gap in samples):" << report.str();

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 0);
}

// A stop (SIGTERM from a service manager, a log-out) while a notice waits on
// a server that does not answer: the program ends at once, says the notice
// was not sent, and leaves the message folder as it was.
TEST_F(NoticeOnAir, AStopDoesNotWaitOnTheMailServer) {
    MailServerProcess::Options silent;
    silent.holdDataSeconds = 120;
    MailServerProcess server(QStringLiteral(QUINDRA_SMTP_SERVER), silent);
    configureMail(server.port());
    PlayedAudio played(device.playedFifo());
    startProgram();
    ASSERT_TRUE(waitFor(
        loop, [&] { return logged(QStringLiteral("Stream inicializado")); },
        std::chrono::seconds(20)))
        << journal();
    const QString written = home.filePath(QStringLiteral("home/promo.wav"));
    writeSound(written, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, noise(44100, 5));
    ASSERT_TRUE(
        QFile::rename(written, home.filePath(QStringLiteral("home/Vizudu Telefônica/promo.wav"))));
    ASSERT_TRUE(waitFor(
        loop,
        [&] { return logged(QStringLiteral("Enviando e-mail de troca de arquivo de áudio.")); },
        std::chrono::seconds(90)))
        << journal();
    // The message has been written; the server sits on its end.
    waitFor(
        loop, [] { return false; }, std::chrono::seconds(2));

    const auto stopped = std::chrono::steady_clock::now();
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000)) << journal();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(5));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(
        logged(QStringLiteral("E-mail não enviado: o sistema foi finalizado durante o envio.")))
        << journal();
    EXPECT_FALSE(logged(QStringLiteral("E-mail enviado com sucesso."))) << journal();
    EXPECT_TRUE(logged(QStringLiteral("Sistema finalizado"))) << journal();
}

}  // namespace
