#include <gtest/gtest.h>
#include <sndfile.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>

#include "TestAudio.h"
#include "VirtualHoldDevice.h"
#include "config/SqliteRegistry.h"
#include "config/Values.h"
#include "core/QtEventLoop.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

// How many times `pattern` was played whole, wherever it starts.
int passes(const std::vector<std::int16_t>& played, const std::vector<std::int16_t>& pattern) {
    int n = 0;
    for (auto at = played.begin();
         (at = std::search(at, played.end(), pattern.begin(), pattern.end())) != played.end();
         at += static_cast<std::ptrdiff_t>(pattern.size()))
        ++n;
    return n;
}

// The real program on a private sound server with the virtual hold device,
// without a display: what the operator's journal says, and what the
// switchboard hears.
class OnAir : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(device.start());
        for (const char* d : {"app/Audio", "home", "config", "runtime"})
            ASSERT_TRUE(QDir(home.path()).mkpath(QString::fromLatin1(d)));
        QFile::setPermissions(
            home.filePath(QStringLiteral("runtime")),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        message = noise(44100 * 4 / 10, 7);
        writeSound(home.filePath(QStringLiteral("app/Audio/espera.wav")),
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, message);
    }

    void startProgram() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("QUINDRA_HOME"), home.filePath(QStringLiteral("app")));
        env.insert(QStringLiteral("QUINDRA_REGISTRY"),
                   home.filePath(QStringLiteral("registry.db")));
        env.insert(QStringLiteral("HOME"), home.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("LANG"), QStringLiteral("pt_BR.UTF-8"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("pt_BR.UTF-8"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QUINDRA_PROGRAM), {});
        ASSERT_TRUE(program.waitForStarted(5000));
    }

    QString out() {
        output += QString::fromUtf8(program.readAllStandardOutput());
        return output;
    }

    // The message repeated exactly, from its start, at least `passes` times.
    bool onAir(const PlayedAudio& played, int passes) {
        const auto samples = played.samples();
        const auto start = findStart(samples, message);
        return start && exactRepeats(samples, *start, message) >= passes;
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
    std::vector<std::int16_t> message;
    QtEventLoop loop;
};

TEST_F(OnAir, FindsTheHardwareLoopsTheMessageWithoutGapsAndSurvivesASoundServerRestart) {
    auto played = std::make_unique<PlayedAudio>(device.playedFifo());
    startProgram();

    ASSERT_TRUE(waitFor(
        loop, [&] { return out().contains(QStringLiteral("Stream inicializado")); },
        std::chrono::seconds(20)))
        << out().toStdString() << program.readAllStandardError().toStdString();
    const QStringList expected{QStringLiteral("Localizando Hardware da Vizudu..."),
                               QStringLiteral("O hardware da espera foi localizado."),
                               QStringLiteral("Aguarde inicializando stream."),
                               QStringLiteral("Stream inicializado com sucesso.")};
    const QStringList lines = out().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), expected.size()) << out().toStdString();
    for (int i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].endsWith(QStringLiteral(" - ") + expected[i]))
            << lines[i].toStdString();

    // Played on the hold device, pass after pass, not a sample between.
    EXPECT_TRUE(waitFor(
        loop, [&] { return onAir(*played, 4); }, std::chrono::seconds(10)));

    // The sound server dies and comes back: the message starts over on it.
    played.reset();
    device.crash();
    ASSERT_TRUE(device.start());
    played = std::make_unique<PlayedAudio>(device.playedFifo());
    EXPECT_TRUE(waitFor(
        loop, [&] { return onAir(*played, 3); }, std::chrono::seconds(15)))
        << "after the restart: " << played->size() << " samples";

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(OnAir, AFileDroppedIntoTheDropFolderGoesOnAirAndTheOldOneIsGone) {
    const QString dropFolder = home.filePath(QStringLiteral("home/Vizudu Telefônica"));
    ASSERT_TRUE(QDir().mkpath(dropFolder));
    PlayedAudio played(device.playedFifo());
    startProgram();
    ASSERT_TRUE(waitFor(
        loop, [&] { return out().contains(QStringLiteral("Stream inicializado")); },
        std::chrono::seconds(20)))
        << out().toStdString();

    // Dropped as a file manager does: written elsewhere, then moved in.
    const auto promo = noise(44100 * 3 / 10, 11);
    const QString written = home.filePath(QStringLiteral("home/promo.wav"));
    writeSound(written, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, promo);
    ASSERT_TRUE(QFile::rename(written, dropFolder + QStringLiteral("/promo.wav")));

    ASSERT_TRUE(waitFor(
        loop,
        [&] {
            return out().contains(
                       QStringLiteral("Troca de arquivo de áudio efetuada com sucesso.")) &&
                   passes(played.samples(), promo) >= 1;
        },
        // The first check sees it, the one 30 s later takes it.
        std::chrono::seconds(75)))
        << out().toStdString() << program.readAllStandardError().toStdString();
    // Once the swap's suspension lifts, the new message loops.
    EXPECT_TRUE(waitFor(
        loop, [&] { return passes(played.samples(), promo) >= 3; }, std::chrono::seconds(15)));

    EXPECT_EQ(QDir(home.filePath(QStringLiteral("app/Audio")))
                  .entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList{QStringLiteral("promo.wav")});
    EXPECT_EQ(QDir(dropFolder).entryList(QDir::Files | QDir::Hidden), QStringList{});
    SqliteRegistry store(home.filePath(QStringLiteral("registry.db")));
    const auto text = [&](const char* name) {
        const auto v = store.value(Root::LocalMachine, kConfigKey, QString::fromLatin1(name));
        return v ? v->text : QStringLiteral("<missing>");
    };
    EXPECT_EQ(text("ArquivoAtual"), QStringLiteral("promo.wav"));
    EXPECT_EQ(text("ArquivoAnterior"), QStringLiteral("espera.wav"));
    const QRegularExpression moment(QStringLiteral("^\\d\\d/\\d\\d/\\d{4}-\\d\\d:\\d\\d:\\d\\d$"));
    EXPECT_TRUE(moment.match(text("DataAtual")).hasMatch()) << text("DataAtual").toStdString();
    EXPECT_TRUE(moment.match(text("DataAnteriorSai")).hasMatch());

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
