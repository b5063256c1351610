#include <gtest/gtest.h>
#include <sndfile.h>

#include <QFile>
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

// What a dropped file can be, and whether it may go on air.
TEST(SndfileProbe, TakesWhatThePlayerCanPlayAndNothingElse) {
    QTemporaryDir dir;
    const auto file = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    const auto sound = noise(44100, 3);
    writeSound(file("mensagem.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, sound);
    writeSound(file("estereo-48k.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, sound);
    writeSound(file("mensagem.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1, sound);
    writeSound(file("sem-som.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, {});
    const QByteArray wav = bytesOf(file("mensagem.wav"));
    const QByteArray mp3 = bytesOf(file("mensagem.mp3"));
    writeBytes(file("cortado-no-meio.wav"), wav.left(wav.size() / 2));
    writeBytes(file("cortado-no-cabecalho.wav"), wav.left(20));
    writeBytes(file("cortado-no-meio.mp3"), mp3.left(mp3.size() / 2));
    writeBytes(file("vazio.wav"), {});
    writeBytes(file("vazio.mp3"), {});
    writeBytes(file("texto.wav"), "Mensagem de espera: gravar de novo na segunda-feira.\n");

    SndfileProbe probe;
    // A file cut short plays as far as it goes, as the player would play it.
    for (const char* name : {"mensagem.wav", "estereo-48k.wav", "mensagem.mp3",
                             "cortado-no-meio.wav", "cortado-no-meio.mp3"}) {
        EXPECT_TRUE(probe.decodable(file(name))) << name;
    }
    for (const char* name : {"sem-som.wav", "cortado-no-cabecalho.wav", "vazio.wav", "vazio.mp3",
                             "texto.wav", "ausente.wav"}) {
        EXPECT_FALSE(probe.decodable(file(name))) << name;
    }
}

}  // namespace
}  // namespace quindra::pulse
