#include <gtest/gtest.h>
#include <sndfile.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "TestAudio.h"
#include "audio/pulse/SndfileProbe.h"

namespace quindra::pulse {
namespace {

using namespace quindra::testing;

QByteArray bytesOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void writeFloats(const QString& path, int subtype, const std::vector<float>& frames) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    ASSERT_TRUE(f);
    sf_writef_float(f, frames.data(), static_cast<sf_count_t>(frames.size()));
    sf_close(f);
}

// What a dropped file can be, and whether it may go on air: the whole file
// is decoded, so one cut short anywhere is refused, and one that holds only
// silence is told apart from one that cannot be read.
TEST(SndfileProbe, TakesWhatThePlayerCanPlayAndNothingElse) {
    QTemporaryDir dir;
    const auto file = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    const auto sound = noise(44100, 3);
    writeSound(file("mensagem.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, sound);
    writeSound(file("estereo-48k.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2,
               noise(96000, 3));
    writeSound(file("mensagem.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1, sound);
    writeSound(file("sem-quadros.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, {});
    writeSound(file("silencio.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1,
               std::vector<std::int16_t>(44100, 0));
    writeSound(file("silencio.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1,
               std::vector<std::int16_t>(44100, 0));
    std::vector<float> half(44100);
    for (std::size_t i = 0; i < half.size(); ++i)
        half[i] = 0.5f * static_cast<float>(sound[i]) / 20000.0f;
    writeFloats(file("float.wav"), SF_FORMAT_FLOAT, half);
    writeFloats(file("double.wav"), SF_FORMAT_DOUBLE, half);
    // An MP3 without its length tag, as many encoders leave it.
    QProcess lame;
    lame.start(QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("-t"),
                                        file("mensagem.wav"), file("sem-etiqueta.mp3")});
    ASSERT_TRUE(lame.waitForFinished(20000) && lame.exitCode() == 0);
    const QByteArray wav = bytesOf(file("mensagem.wav"));
    const QByteArray mp3 = bytesOf(file("mensagem.mp3"));
    writeBytes(file("cortado-no-meio.wav"), wav.left(wav.size() / 2));
    writeBytes(file("cortado-no-fim.wav"), wav.left(wav.size() - 1000));
    writeBytes(file("cortado-no-cabecalho.wav"), wav.left(20));
    writeBytes(file("cortado-no-meio.mp3"), mp3.left(mp3.size() / 2));
    writeBytes(file("vazio.wav"), {});
    writeBytes(file("vazio.mp3"), {});
    writeBytes(file("texto.wav"), "Mensagem de espera: gravar de novo na segunda-feira.\n");
    // What the player cannot play in real time: rates out of 8 to 192 kHz,
    // and messages shorter than half a second.
    writeSound(file("1-hz.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 1, noise(4));
    writeSound(file("100-mhz.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 100000000, 1, noise(441000));
    writeSound(file("7999-hz.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 7999, 1, noise(7999));
    writeSound(file("8-khz.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, noise(4000));
    writeSound(file("192-khz.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 192000, 1, noise(96000));
    writeSound(file("192001-hz.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 192001, 1, noise(192001));
    writeSound(file("uma-amostra.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, noise(1));
    writeSound(file("quase-meio-segundo.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1,
               noise(22049));
    writeSound(file("meio-segundo.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, noise(22050));

    using V = AudioProbe::Verdict;
    const std::vector<std::pair<const char*, V>> cases{
        {"mensagem.wav", V::Playable},
        {"estereo-48k.wav", V::Playable},
        {"mensagem.mp3", V::Playable},
        {"sem-etiqueta.mp3", V::Playable},
        {"float.wav", V::Playable},
        {"double.wav", V::Playable},
        {"silencio.wav", V::Silent},
        {"silencio.mp3", V::Silent},
        {"cortado-no-meio.wav", V::Undecodable},
        {"cortado-no-fim.wav", V::Undecodable},
        {"cortado-no-meio.mp3", V::Undecodable},
        {"sem-quadros.wav", V::Undecodable},
        {"cortado-no-cabecalho.wav", V::Undecodable},
        {"vazio.wav", V::Undecodable},
        {"vazio.mp3", V::Undecodable},
        {"texto.wav", V::Undecodable},
        {"ausente.wav", V::Undecodable},
        {"1-hz.wav", V::BadRate},
        {"100-mhz.wav", V::BadRate},
        {"7999-hz.wav", V::BadRate},
        {"8-khz.wav", V::Playable},
        {"192-khz.wav", V::Playable},
        {"192001-hz.wav", V::BadRate},
        {"uma-amostra.wav", V::TooShort},
        {"quase-meio-segundo.wav", V::TooShort},
        {"meio-segundo.wav", V::Playable},
    };
    SndfileProbe probe;
    for (const auto& [name, verdict] : cases) {
        EXPECT_EQ(probe.examine(file(name)), verdict) << name;
        EXPECT_EQ(probe.decodable(file(name)), verdict == V::Playable) << name;
    }
}

}  // namespace
}  // namespace quindra::pulse
