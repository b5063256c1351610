#include <gtest/gtest.h>
#include <sndfile.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <numbers>

#include "TestAudio.h"
#include "audio/pulse/FileDecoder.h"
#include "ports/WaveControl.h"
#include "support/Tones.h"

namespace quindra::pulse {
namespace {

using namespace quindra::testing;

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

class PulseFileDecoder : public ::testing::Test {
protected:
    QString file(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    // Reads in uneven steps, so block and chunk edges fall everywhere.
    static std::vector<std::int16_t> readAll(FileDecoder& d, int channels) {
        std::vector<std::int16_t> all;
        std::vector<std::int16_t> buf(997 * static_cast<std::size_t>(channels));
        while (!d.ended()) {
            const auto n = d.read(buf.data(), 997);
            all.insert(all.end(), buf.begin(),
                       buf.begin() + static_cast<std::ptrdiff_t>(n * channels));
            if (n < 997) {
                EXPECT_TRUE(d.ended());
            }
        }
        return all;
    }

    QTemporaryDir dir_;
};

TEST_F(PulseFileDecoder, AFileInTheChannelFormatComesOutSampleForSample) {
    const auto pattern = noise(13230);
    writeSound(file("msg.wav"), kWav16, 44100, 1, pattern);
    FileDecoder d(file("msg.wav"), 44100, 1);
    EXPECT_EQ(readAll(d, 1), pattern);
    std::int16_t more[4];
    EXPECT_EQ(d.read(more, 4), 0u);
}

TEST_F(PulseFileDecoder, StereoIsAveragedToMonoAndMonoDoubledToStereo) {
    writeSound(file("stereo.wav"), kWav16, 44100, 2, {1000, 3000, -1, -2, 32767, 32767, -32768, 0});
    FileDecoder down(file("stereo.wav"), 44100, 1);
    EXPECT_EQ(readAll(down, 1), (std::vector<std::int16_t>{2000, -2, 32767, -16384}));

    writeSound(file("mono.wav"), kWav16, 44100, 1, {5, -7});
    FileDecoder up(file("mono.wav"), 44100, 2);
    EXPECT_EQ(readAll(up, 2), (std::vector<std::int16_t>{5, 5, -7, -7}));
}

// Speech on the centre channel of a surround file keeps its level, in mono
// and in stereo; the channels are where WAV files usually keep them, and the
// LFE is left out.
TEST_F(PulseFileDecoder, SurroundIsMixedDownByPlaceWithTheCentreAtFullLevel) {
    const auto voice = noise(4410);
    const auto surround = [&](int channels, int centre, int lfe) {
        std::vector<std::int16_t> frames;
        for (const std::int16_t v : voice) {
            for (int c = 0; c < channels; ++c)
                frames.push_back(c == centre ? v
                                 : c == lfe  ? std::int16_t{30000}
                                             : std::int16_t{0});
        }
        return frames;
    };
    // 5.1: L, R, C, LFE, Ls, Rs; 3.0: L, R, C.
    writeSound(file("5.1.wav"), kWav16, 44100, 6, surround(6, 2, 3));
    writeSound(file("3.0.wav"), kWav16, 44100, 3, surround(3, 2, -1));
    for (const char* name : {"5.1.wav", "3.0.wav"}) {
        FileDecoder mono(file(name), 44100, 1);
        EXPECT_EQ(readAll(mono, 1), voice) << name;
        FileDecoder stereo(file(name), 44100, 2);
        const auto both = readAll(stereo, 2);
        ASSERT_EQ(both.size(), 2 * voice.size()) << name;
        for (std::size_t i = 0; i < voice.size(); ++i) {
            const long expected = std::lround(voice[i] * 0.70710678);
            ASSERT_NEAR(both[2 * i], expected, 1) << name << " frame " << i;
            ASSERT_NEAR(both[2 * i + 1], expected, 1) << name << " frame " << i;
        }
    }
}

TEST_F(PulseFileDecoder, AnotherRateIsConvertedKeepingLengthAndPitch) {
    struct Case {
        int rate;
        int channels;
    };
    for (const Case c : {Case{48000, 2}, Case{22050, 1}, Case{8000, 1}}) {
        SCOPED_TRACE(c.rate);
        const auto mono = sine(440, c.rate, 16000 / 32768.0, static_cast<std::size_t>(c.rate));
        std::vector<std::int16_t> frames;
        for (auto v : mono)
            frames.insert(frames.end(), static_cast<std::size_t>(c.channels), v);
        writeSound(file("other.wav"), kWav16, c.rate, c.channels, frames);

        FileDecoder d(file("other.wav"), 44100, 1);
        const auto out = readAll(d, 1);
        EXPECT_NEAR(static_cast<double>(out.size()), 44100, 44100 * 0.01);
        EXPECT_NEAR(frequency(out, 44100), 440, 2);
        EXPECT_NEAR(rms(out), 16000 / std::sqrt(2.0), 16000 * 0.05);
    }
}

TEST_F(PulseFileDecoder, AnMp3DecodesAsLibsndfileDecodesIt) {
    const QString mp3 = file("msg.mp3");
    writeSound(mp3, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1,
               sine(440, 44100, 12000 / 32768.0, 22050));
    const auto expected = decodeSound(mp3);
    ASSERT_GT(expected.size(), 20000u);
    FileDecoder d(mp3, 44100, 1);
    EXPECT_EQ(readAll(d, 1), expected);
}

// Float files are heard at their level, and what lies beyond full scale (a
// float file, a loud MP3 whose decode overshoots) is clipped, never wrapped
// round to the other end of the scale.
TEST_F(PulseFileDecoder, FloatFilesKeepTheirLevelAndLoudOnesAreClipped) {
    struct Case {
        const char* name;
        int format;
        double amplitude;  // of a 441 Hz sine, full scale 1.0
        int peak;
    };
    const std::vector<Case> cases{
        {"meia-escala-float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.5, 16384},
        {"meia-escala-double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 0.5, 16384},
        {"alto-demais.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1.5, 32767},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 1;
        info.format = c.format;
        SNDFILE* f = sf_open(QFile::encodeName(file(c.name)).constData(), SFM_WRITE, &info);
        ASSERT_TRUE(f);
        std::vector<double> v(4410);
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] =
                c.amplitude * std::sin(2 * std::numbers::pi * 441 * static_cast<double>(i) / 44100);
        sf_writef_double(f, v.data(), static_cast<sf_count_t>(v.size()));
        sf_close(f);
        FileDecoder d(file(c.name), 44100, 1);
        const auto out = readAll(d, 1);
        EXPECT_NEAR(*std::max_element(out.begin(), out.end()), c.peak, 2);
        EXPECT_NEAR(*std::min_element(out.begin(), out.end()), -c.peak, 2);
        EXPECT_NEAR(frequency(out, 44100), 441, 2);
    }

    // A square wave near full scale, made an MP3 by lame: its decode goes
    // past full scale along every edge. Its own edges jump from one end of
    // the scale to the other 882 times a second; a wrap would add more.
    writeSound(file("quadrada.wav"), kWav16, 44100, 1, [] {
        std::vector<std::int16_t> s(44100);
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = (i / 50) % 2 ? 32440 : -32440;
        return s;
    }());
    QProcess lame;
    lame.start(QStringLiteral("lame"),
               {QStringLiteral("--quiet"), file("quadrada.wav"), file("quadrada.mp3")});
    ASSERT_TRUE(lame.waitForFinished(20000) && lame.exitCode() == 0);
    FileDecoder loud(file("quadrada.mp3"), 44100, 1);
    const auto out = readAll(loud, 1);
    int jumps = 0;
    for (std::size_t i = 1; i < out.size(); ++i)
        jumps += std::abs(out[i] - out[i - 1]) > 40000;
    EXPECT_LE(jumps, 44100 / 50);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 32767) << "clipped at full scale";
}

// The next pass of the loop is the same sound as the first, to the sample.
TEST_F(PulseFileDecoder, RewindingPlaysTheFileAgainFromItsFirstFrame) {
    writeSound(file("msg.wav"), kWav16, 44100, 1, noise(13230));
    writeSound(file("msg.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1,
               sine(440, 44100, 12000 / 32768.0, 22050));
    writeSound(file("msg48k.wav"), kWav16, 48000, 1, noise(14400));
    for (const char* name : {"msg.wav", "msg.mp3", "msg48k.wav"}) {
        SCOPED_TRACE(name);
        FileDecoder d(file(name), 44100, 1);
        const auto first = readAll(d, 1);
        d.rewind();
        EXPECT_FALSE(d.ended());
        EXPECT_EQ(readAll(d, 1), first);
    }
}

TEST_F(PulseFileDecoder, WhatIsNoSoundThrows) {
    QFile(file("empty.wav")).open(QIODevice::WriteOnly);
    {
        QFile text(file("notes.wav"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("Mensagem de espera: gravar de novo na segunda-feira.\n");
    }
    writeSound(file("silent.wav"), kWav16, 44100, 1, {});  // a header and no frames
    QDir(dir_.path()).mkdir(QStringLiteral("folder.wav"));
    {
        // A RIFF header that promises what the file does not hold.
        QFile cut(file("cut.wav"));
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(QByteArray("RIFF\x24\x10\x00\x00WAVEfmt ", 16));
    }
    for (const char* name :
         {"missing.wav", "empty.wav", "notes.wav", "silent.wav", "folder.wav", "cut.wav"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(FileDecoder(file(name), 44100, 1), WaveError);
    }
}

}  // namespace
}  // namespace quindra::pulse
