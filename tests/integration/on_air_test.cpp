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
#include "support/ProgramEnvironment.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

// The real program on a private sound server (PulseAudio, or PipeWire with
// its pulse server) with the virtual hold device, without a display: what the
// operator's journal says, and what the switchboard hears. PipeWire converts
// to its graph rate and back, so there a pass is found by correlation and a
// join may be off by one sample; on PulseAudio passes repeat sample for
// sample.
class OnAir : public ::testing::TestWithParam<SoundServer> {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(device.start());
        ASSERT_TRUE(MakeProgramHome(QDir(home.path())));
        message = softNoise(44100 * 4 / 10, 7);
        writeSound(home.filePath(QStringLiteral("app/Audio/espera.wav")),
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, message);
    }

    void startProgram() {
        QProcessEnvironment env = ProgramEnvironment(QDir(home.path()));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QUINDRA_PROGRAM), {});
        ASSERT_TRUE(program.waitForStarted(5000));
    }

    QString out() {
        output += QString::fromUtf8(program.readAllStandardOutput());
        return output;
    }

    // The message repeated from its start, at least `passes` times, with
    // nothing between the passes.
    bool onAir(const PlayedAudio& played, int passes) {
        return heard(played.samples(), message) >= passes;
    }

    // Passes of `pattern`, one right after the other, from where it first
    // plays; with `afterSilence`, from the end of the last half second of
    // silence (a swap's pause), since another message played before it.
    int heard(std::vector<std::int16_t> samples, const std::vector<std::int16_t>& pattern,
              bool afterSilence = false) {
        if (afterSilence) {
            std::size_t quiet = 0, from = 0;
            for (std::size_t i = 0; i < samples.size(); ++i) {
                quiet = samples[i] == 0 ? quiet + 1 : 0;
                if (quiet >= 22050)
                    from = i;
            }
            samples.erase(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(from));
        }
        if (GetParam() == SoundServer::PulseAudio) {
            const auto start = findStart(samples, pattern);
            return start ? exactRepeats(samples, *start, pattern) : 0;
        }
        const auto starts = passStarts(samples, pattern);
        for (std::size_t i = 1; i < starts.size(); ++i) {
            const long gap =
                static_cast<long>(starts[i] - starts[i - 1]) - static_cast<long>(pattern.size());
            if (std::abs(gap) > 1)
                return static_cast<int>(i);
        }
        return static_cast<int>(starts.size());
    }

    void TearDown() override {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }

    QTemporaryDir home;
    VirtualHoldDevice device{GetParam()};
    QProcess program;
    QString output;
    std::vector<std::int16_t> message;
    QtEventLoop loop;
};

TEST_P(OnAir, FindsTheHardwareLoopsTheMessageWithoutGapsAndSurvivesASoundServerRestart) {
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

// The new message is told from the old one by the silence of the swap's
// pause. PipeWire's pipe sink writes nothing while no stream plays, so there
// the two would meet in what was recorded: this one runs on PulseAudio.
using OnAirSwap = OnAir;

TEST_P(OnAirSwap, AFileDroppedIntoTheDropFolderGoesOnAirAndTheOldOneIsGone) {
    const QString dropFolder = home.filePath(QStringLiteral("home/Vizudu Telefônica"));
    ASSERT_TRUE(QDir().mkpath(dropFolder));
    PlayedAudio played(device.playedFifo());
    startProgram();
    ASSERT_TRUE(waitFor(
        loop, [&] { return out().contains(QStringLiteral("Stream inicializado")); },
        std::chrono::seconds(20)))
        << out().toStdString();

    // Dropped as a file manager does: written elsewhere, then moved in.
    const auto promo = softNoise(44100 * 6 / 10, 11);
    const QString written = home.filePath(QStringLiteral("home/promo.wav"));
    writeSound(written, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, promo);
    ASSERT_TRUE(QFile::rename(written, dropFolder + QStringLiteral("/promo.wav")));

    ASSERT_TRUE(waitFor(
        loop,
        [&] {
            return out().contains(
                       QStringLiteral("Troca de arquivo de áudio efetuada com sucesso.")) &&
                   heard(played.samples(), promo, true) >= 1;
        },
        // The first check sees it, the one 30 s later takes it.
        std::chrono::seconds(75)))
        << out().toStdString() << program.readAllStandardError().toStdString();
    // The line after the swap's says what the message will sound like on the
    // phone: it was measured while it settled in the drop folder.
    const QStringList lines = out().split(QLatin1Char('\n'));
    const auto swapLine = std::find_if(lines.begin(), lines.end(), [](const QString& l) {
        return l.endsWith(QStringLiteral(" - Troca de arquivo de áudio efetuada com sucesso."));
    });
    ASSERT_NE(swapLine, lines.end());
    ASSERT_NE(swapLine + 1, lines.end());
    const QRegularExpression figures(QStringLiteral(
        " - Duração 0:01 · volume −?\\d+,\\d LUFS · pico real −?\\d+,\\d dBTP · \\d+% fora da "
        "faixa telefônica$"));
    EXPECT_TRUE(figures.match(*(swapLine + 1)).hasMatch()) << (swapLine + 1)->toStdString();
    // Once the swap's suspension lifts, the new message loops.
    EXPECT_TRUE(waitFor(
        loop, [&] { return heard(played.samples(), promo, true) >= 3; }, std::chrono::seconds(15)));

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

INSTANTIATE_TEST_SUITE_P(Servers, OnAir,
                         ::testing::Values(SoundServer::PulseAudio, SoundServer::PipeWire),
                         [](const auto& info) {
                             return info.param == SoundServer::PipeWire ? "PipeWire" : "PulseAudio";
                         });

INSTANTIATE_TEST_SUITE_P(Servers, OnAirSwap, ::testing::Values(SoundServer::PulseAudio),
                         [](const auto&) { return "PulseAudio"; });

}  // namespace
