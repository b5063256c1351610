#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "audio/views/Level.h"
#include "audio/views/SampleRing.h"
#include "audio/views/Spectrum.h"
#include "audio/views/Waveform.h"
#include "support/Tones.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

double db(double fraction) {
    return 20.0 * std::log10(fraction);
}

// --- SampleRing -----------------------------------------------------------

TEST(SampleRing, KeepsTheNewestSamplesWhateverTheChunkSizes) {
    struct Case {
        std::string name;
        std::vector<std::size_t> chunks;
    };
    const std::vector<Case> cases{
        {"fewer than it holds", {3}},
        {"exactly full", {8}},
        {"wrapping around", {5, 5, 5}},
        {"one chunk longer than the ring", {20}},
        {"a long chunk after a short one", {3, 19}},
        {"single samples and empty chunks", {1, 0, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SampleRing ring(8);
        std::size_t total = 0;
        for (const std::size_t n : c.chunks) {
            ring.push(ramp(total, n));
            total += n;
        }
        const std::size_t kept = std::min<std::size_t>(total, 8);
        ASSERT_EQ(ring.size(), kept);

        std::vector<std::int16_t> out(8, -1);
        ASSERT_EQ(ring.copyLatest(out), kept);
        out.resize(kept);
        EXPECT_EQ(out, ramp(total - kept, kept));

        // A shorter window reads only the very newest.
        std::vector<std::int16_t> two(2);
        if (kept >= 2) {
            ring.copyLatest(two);
            EXPECT_EQ(two, ramp(total - 2, 2));
        }
    }
}

TEST(SampleRing, ClearedRingReadsNothing) {
    SampleRing ring(4);
    ring.push(ramp(0, 3));
    ring.clear();
    std::vector<std::int16_t> out(4);
    EXPECT_EQ(ring.copyLatest(out), 0U);
    ring.push(ramp(10, 1));
    ASSERT_EQ(ring.copyLatest(out), 1U);
    EXPECT_EQ(out[0], 10);
}

// --- Spectrum -------------------------------------------------------------

struct Tone {
    double hz;
    int rate;
    double amplitude;
};

class SpectrumOfSine : public ::testing::TestWithParam<Tone> {};

TEST_P(SpectrumOfSine, PeaksInTheTonesBinAtItsLevelWithLowLeakage) {
    const Tone t = GetParam();
    SpectrumAnalyzer fft(1024);
    fft.analyse(sine(t.hz, t.rate, t.amplitude, 4096));

    const auto expectedBin = static_cast<std::size_t>(std::lround(t.hz * 1024 / t.rate));
    const std::size_t peak = fft.peakBin();
    EXPECT_EQ(peak, expectedBin);
    EXPECT_NEAR(binFrequency(peak, fft.size(), t.rate), t.hz, t.rate / 2048.0);

    // Hann loses at most 1.42 dB between bins, nothing on one.
    const float top = fft.magnitudesDb()[peak];
    EXPECT_LE(top, db(t.amplitude) + 0.05);
    EXPECT_GE(top, db(t.amplitude) - 1.5);

    // The window keeps the tone out of bins far from it.
    for (std::size_t k = 0; k < fft.binCount(); ++k) {
        if (k + 10 < peak || k > peak + 10) {
            ASSERT_LT(fft.magnitudesDb()[k], top - 60) << "bin " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tones, SpectrumOfSine,
                         ::testing::Values(Tone{1000, 8000, 0.5},    // on bin 128
                                           Tone{5000, 44100, 0.5},   // between bins
                                           Tone{440, 8000, 0.25},    // near half a bin off
                                           Tone{3900, 8000, 1.0}));  // close to Nyquist

TEST(Spectrum, BinCentredToneReadsItsAmplitudeInDb) {
    SpectrumAnalyzer fft(1024);
    fft.analyse(sine(1000, 8000, 0.5, 1024));
    EXPECT_NEAR(fft.magnitudesDb()[128], db(0.5), 0.05);
}

TEST(Spectrum, SilenceIsTheFloorEverywhere) {
    SpectrumAnalyzer fft(512);
    fft.analyse(std::vector<std::int16_t>(512, 0));
    for (const float m : fft.magnitudesDb())
        ASSERT_EQ(m, kSpectrumFloorDb);
}

TEST(Spectrum, ShortInputCountsAsSilenceBeforeIt) {
    SpectrumAnalyzer fft(1024);
    fft.analyse(sine(1000, 8000, 0.5, 300));
    EXPECT_EQ(fft.peakBin(), 128U);
    // Only the part of the window the tone fills carries energy.
    EXPECT_LT(fft.magnitudesDb()[128], db(0.5) - 6);
}

TEST(Spectrum, BandsPutTheToneWhereTheAxisPlacesIt) {
    for (const Tone t : {Tone{1000, 8000, 0.5}, Tone{5000, 44100, 0.5}}) {
        SCOPED_TRACE(t.hz);
        SpectrumAnalyzer fft(1024);
        fft.analyse(sine(t.hz, t.rate, t.amplitude, 1024));
        const LogFrequencyAxis axis(50, t.rate / 2.0);
        std::vector<float> bands(40);
        spectrumBands(fft.magnitudesDb(), t.rate, axis, bands);

        const auto loudest = std::max_element(bands.begin(), bands.end()) - bands.begin();
        EXPECT_EQ(loudest, static_cast<long>(axis.position(t.hz) * 40));
        EXPECT_NEAR(bands[static_cast<std::size_t>(loudest)], db(0.5), 1.5);
    }
}

TEST(Spectrum, EveryBandReadsTheBinsUnderIt) {
    // A spectrum whose value is its bin number shows which bins a band read,
    // including bands narrower than a bin at the low end.
    const int rate = 44100;
    std::vector<float> bins(513);
    for (std::size_t k = 0; k < bins.size(); ++k)
        bins[k] = static_cast<float>(k);
    const LogFrequencyAxis axis(50, rate / 2.0);
    std::vector<float> bands(64);
    spectrumBands(bins, rate, axis, bands);

    const double binWidth = rate / 1024.0;
    for (std::size_t b = 0; b < bands.size(); ++b) {
        const double lo = axis.frequency(b / 64.0) / binWidth;
        const double hi = axis.frequency((b + 1) / 64.0) / binWidth;
        EXPECT_GE(bands[b], std::floor(lo)) << "band " << b;
        EXPECT_LE(bands[b], std::min(std::ceil(hi), 512.0)) << "band " << b;
    }
    EXPECT_EQ(bands.back(), 512.0F);
}

TEST(Spectrum, LogAxisRunsFromLowToNyquist) {
    const LogFrequencyAxis axis(50, 4000);
    EXPECT_DOUBLE_EQ(axis.position(50), 0.0);
    EXPECT_DOUBLE_EQ(axis.position(4000), 1.0);
    EXPECT_NEAR(axis.position(std::sqrt(50.0 * 4000)), 0.5, 1e-12);
    EXPECT_NEAR(axis.frequency(axis.position(1000)), 1000, 1e-9);
    EXPECT_DOUBLE_EQ(axis.position(10), 0.0);  // below the axis: its start
}

TEST(Spectrum, ShownValuesRiseAtOnceAndFallSlowly) {
    std::vector<float> shown{-90, -10, -50};
    const std::vector<float> target{-20, -80, -50};
    EXPECT_TRUE(fallTowards(shown, target, 3));
    EXPECT_EQ(shown, (std::vector<float>{-20, -13, -50}));
    for (int i = 0; i < 30; ++i)
        fallTowards(shown, target, 3);
    EXPECT_FALSE(fallTowards(shown, target, 3));
    EXPECT_EQ(shown, target);
}

// --- Level ----------------------------------------------------------------

TEST(Level, RmsAndPeakInDbfs) {
    struct Case {
        std::string name;
        std::vector<std::int16_t> samples;
        double rmsDb;
        double peakDb;
    };
    std::vector<std::int16_t> square(800);
    for (std::size_t i = 0; i < square.size(); ++i)
        square[i] = (i / 4) % 2 ? -32768 : 32767;
    const std::vector<Case> cases{
        {"half-scale sine", sine(1000, 8000, 0.5, 800), db(0.5 / std::sqrt(2.0)), db(0.5)},
        {"quiet sine at 44.1 kHz", sine(5000, 44100, 0.01, 4410), db(0.01 / std::sqrt(2.0)),
         db(0.01)},
        {"full-scale square", square, 0.0, 0.0},
        {"silence", std::vector<std::int16_t>(400, 0), kSilenceDb, kSilenceDb},
        {"no samples", {}, kSilenceDb, kSilenceDb},
        {"one step above silence", std::vector<std::int16_t>(400, 1), db(1 / 32768.0),
         db(1 / 32768.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Level l = measureLevel(c.samples);
        EXPECT_NEAR(l.rmsDb, c.rmsDb, 0.02);
        EXPECT_NEAR(l.peakDb, c.peakDb, 0.02);
    }
}

TEST(Level, BarFallsAtOnceRateAndPeakHoldsThenFalls) {
    LevelMeter meter;
    meter.update(sine(1000, 8000, 0.5, 400), 0.04);
    EXPECT_NEAR(meter.barDb(), db(0.5 / std::sqrt(2.0)), 0.02);
    EXPECT_NEAR(meter.heldPeakDb(), db(0.5), 0.02);

    const std::vector<std::int16_t> none;
    meter.update(none, 1.0);
    EXPECT_NEAR(meter.barDb(), db(0.5 / std::sqrt(2.0)) - LevelMeter::kBarFallDbPerSecond, 0.02);
    EXPECT_NEAR(meter.heldPeakDb(), db(0.5), 0.02);  // still held
    EXPECT_TRUE(meter.settling());

    meter.update(none, 1.0);  // 0.5 s past the hold
    EXPECT_NEAR(meter.barDb(), db(0.5 / std::sqrt(2.0)) - 2 * LevelMeter::kBarFallDbPerSecond,
                0.02);
    EXPECT_NEAR(meter.heldPeakDb(), db(0.5) - 0.5 * LevelMeter::kPeakFallDbPerSecond, 0.02);

    // A louder peak takes the marker up again at once.
    meter.update(sine(1000, 8000, 0.9, 400), 0.04);
    EXPECT_NEAR(meter.heldPeakDb(), db(0.9), 0.02);

    for (int i = 0; i < 250; ++i)
        meter.update(none, 0.04);
    EXPECT_FALSE(meter.settling());
    EXPECT_EQ(meter.heldPeakDb(), kSilenceDb);
}

// --- Waveform -------------------------------------------------------------

TEST(Waveform, ColumnsSpanTheirOwnSamplesInOrder) {
    std::vector<ColumnSpan> columns(10);
    ASSERT_EQ(decimate(ramp(0, 1000), columns), 10U);
    for (std::size_t c = 0; c < 10; ++c) {
        EXPECT_FLOAT_EQ(columns[c].low, static_cast<float>(c * 100) / 32768.0F);
        EXPECT_FLOAT_EQ(columns[c].high, static_cast<float>(c * 100 + 99) / 32768.0F);
    }
}

TEST(Waveform, FewerSamplesThanColumnsGiveOneColumnEach) {
    std::vector<ColumnSpan> columns(10);
    const std::vector<std::int16_t> three{-32768, 0, 16384};
    ASSERT_EQ(decimate(three, columns), 3U);
    EXPECT_FLOAT_EQ(columns[0].low, -1.0F);
    EXPECT_FLOAT_EQ(columns[0].high, -1.0F);
    EXPECT_FLOAT_EQ(columns[2].low, 0.5F);
    EXPECT_EQ(decimate({}, columns), 0U);
}

}  // namespace
