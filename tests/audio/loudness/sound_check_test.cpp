#include <gtest/gtest.h>
#include <sndfile.h>

#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <thread>

#include "SpeechLike.h"
#include "TestAudio.h"
#include "audio/loudness/FileSound.h"
#include "audio/loudness/SoundMeter.h"
#include "audio/loudness/SoundVerdict.h"
#include "support/Tones.h"

using namespace quindra;
using namespace quindra::loudness;
using namespace quindra::testing;

namespace {

constexpr int kRate = 44100;

SoundFigures measured(const std::vector<std::int16_t>& s) {
    SoundMeter meter(kRate);
    // In uneven blocks, as a decoder hands them over.
    for (std::size_t at = 0; at < s.size(); at += 3001)
        meter.add(s.data() + at, std::min<std::size_t>(3001, s.size() - at));
    return meter.figures();
}

TEST(SoundMeterTest, SinesGiveTheirLevelPeakAndBand) {
    struct Case {
        double hz;
        double amplitude;
        double lufs;  // a mid-band sine reads its RMS; K-weighting tilts the others
        bool inBand;
    };
    for (const Case& c :
         {Case{1000, 0.1, -23.0, true}, Case{997, 0.5, -9.0, true},
          Case{100, 0.1, std::nan(""), false}, Case{5000, 0.1, std::nan(""), false}}) {
        SCOPED_TRACE(c.hz);
        const SoundFigures f = measured(sine(c.hz, kRate, c.amplitude, 2 * kRate));
        EXPECT_NEAR(f.seconds, 2.0, 1e-9);
        ASSERT_TRUE(f.loudnessLufs);
        if (!std::isnan(c.lufs)) {
            EXPECT_NEAR(*f.loudnessLufs, c.lufs, 0.2);
        }
        EXPECT_NEAR(f.truePeakDbtp, 20.0 * std::log10(c.amplitude), 0.2);
        if (c.inBand) {
            EXPECT_LT(f.outOfBandShare, 0.01);
        } else {
            EXPECT_GT(f.outOfBandShare, 0.99);
        }
        EXPECT_EQ(f.clippedRuns, 0);
    }
}

// Looking at the figures on the way changes nothing of the end result.
TEST(SoundMeterTest, FiguresTakenMidwayLeaveTheFinalOnesAsTheyAre) {
    const auto low = sine(100, kRate, 0.3, kRate);
    const auto mid = sine(1000, kRate, 0.3, kRate + 1234);
    SoundMeter once(kRate), twice(kRate);
    for (SoundMeter* m : {&once, &twice})
        m->add(low.data(), low.size());
    twice.figures();
    for (SoundMeter* m : {&once, &twice})
        m->add(mid.data(), mid.size());
    EXPECT_DOUBLE_EQ(twice.figures().outOfBandShare, once.figures().outOfBandShare);
    EXPECT_NEAR(once.figures().outOfBandShare, 0.5, 0.05);
}

TEST(SoundMeterTest, FlatTopsAreCountedAndSingleFullScaleSamplesAreNot) {
    std::vector<std::int16_t> s(kRate, 0);
    s[100] = 32767;  // a clean peak touches full scale once
    s[200] = -32768;
    s[201] = -32768;
    for (int i = 1000; i < 1005; ++i)  // a cut one stays there
        s[static_cast<std::size_t>(i)] = 32767;
    for (int i = 2000; i < 2003; ++i)
        s[static_cast<std::size_t>(i)] = -32768;
    EXPECT_EQ(measured(s).clippedRuns, 2);
}

// The faults a hold message is warned about, each alone, and a message
// with none. The files are decoded as the player decodes them.
TEST(SoundVerdictTest, EachFaultGivesItsWarningAndSpeechGivesNone) {
    struct Case {
        const char* name;
        std::vector<std::int16_t> sound;
        bool quiet, clipped, outOfBand;
    };
    const Case cases[] = {
        {"speech-like at -22 dBFS", bandSound(6, kRate, 350, 3200, -22, true), false, false, false},
        {"speech-like at -40 dBFS", bandSound(6, kRate, 350, 3200, -40, true), true, false, false},
        {"speech-like clipped flat", bandSound(6, kRate, 350, 3200, -12, true, 6.0), false, true,
         false},
        {"hiss above the band", bandSound(6, kRate, 4000, 9000, -22), false, false, true},
        {"rumble below the band", bandSound(6, kRate, 40, 250, -20), false, false, true},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("mensagem.wav"));
        writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1, c.sound);
        const SoundFigures f = MeasureFile(path);
        const QString warning = WarningLine(f);
        EXPECT_EQ(warning.contains(QStringLiteral("muito baixa")), c.quiet)
            << warning.toStdString();
        EXPECT_EQ(warning.contains(QStringLiteral("saturada")), c.clipped) << warning.toStdString();
        EXPECT_EQ(warning.contains(QStringLiteral("fora da faixa telefônica")), c.outOfBand)
            << warning.toStdString();
        EXPECT_EQ(warning.isEmpty(), !c.quiet && !c.clipped && !c.outOfBand);
    }
}

TEST(SoundVerdictTest, AnMp3MeasuresAsItsWav) {
    QTemporaryDir dir;
    const auto sound = bandSound(8, kRate, 350, 3200, -24, true);
    const QString wav = dir.filePath(QStringLiteral("m.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("m.mp3"));
    writeSound(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1, sound);
    writeSound(mp3, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, kRate, 1, sound);
    const SoundFigures a = MeasureFile(wav);
    const SoundFigures b = MeasureFile(mp3);
    ASSERT_TRUE(a.loudnessLufs && b.loudnessLufs);
    EXPECT_NEAR(*b.loudnessLufs, *a.loudnessLufs, 0.5);
    EXPECT_NEAR(b.outOfBandShare, a.outOfBandShare, 0.03);
    EXPECT_NEAR(b.seconds, a.seconds, 0.1);
}

TEST(SoundVerdictTest, AFileThatIsNoSoundIsRefused) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("texto.wav"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("isto não é som");
    f.close();
    EXPECT_THROW(MeasureFile(path), WaveError);
}

TEST(SoundVerdictTest, FiguresReadInBrazilianFormat) {
    struct Case {
        SoundFigures f;
        const char* line;
    };
    const Case cases[] = {
        {{32.4, -18.44, -1.23, 0.04, 0},
         "Duração 0:32 · volume −18,4 LUFS · pico real −1,2 dBTP · 4% fora da faixa telefônica"},
        {{3725.0, std::nullopt, 0.31, 0.996, 3},
         "Duração 1:02:05 · volume abaixo de −70 LUFS · pico real 0,3 dBTP · 100% fora da faixa "
         "telefônica"},
        {{59.6, -9.96, -0.04, 0.5, 0},
         "Duração 1:00 · volume −10,0 LUFS · pico real 0,0 dBTP · 50% fora da faixa telefônica"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FiguresLine(c.f).toStdString(), c.line);
    EXPECT_EQ(WarningLine({30, -41.04, -20, 0.62, 0}).toStdString(),
              "Atenção: esta mensagem está muito baixa (volume −41,0 LUFS; a fala ao telefone "
              "fica perto de −25,0 LUFS); tem 62% do som fora da faixa telefônica (300 a 3400 Hz), "
              "que o telefone corta.");
}

TEST(SoundVerdictTest, LevellingReachesTheSpeechLevelUnderTheCeiling) {
    struct Case {
        std::optional<double> lufs;
        double peak;
        double gain;
    };
    for (const Case& c : {Case{-40.0, -28.0, 15.0},  // lifted to the level
                          Case{-12.0, -1.5, -13.0},  // lowered to it
                          Case{-30.0, -3.0, 2.0},    // the ceiling holds it back
                          Case{-80.0, -70.0, 30.0},  // no more than the most boost
                          Case{std::nullopt, -60.0, 30.0}}) {
        SCOPED_TRACE(c.peak);
        EXPECT_NEAR(LevellingGainDb({10, c.lufs, c.peak, 0, 0}), c.gain, 1e-9);
    }
}

}  // namespace
