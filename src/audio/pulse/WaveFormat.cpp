#include "audio/pulse/WaveFormat.h"

#include <QByteArray>
#include <QRegularExpression>
#include <cstdint>

#include "ports/WaveControl.h"

namespace quindra::pulse {

namespace {

constexpr int kHeaderBytes = 16;  // WAVEFORMAT + wBitsPerSample, before cbSize
constexpr std::uint16_t kPcmTag = 1;

std::uint32_t littleEndian(const QByteArray& b, int at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(b[at + i]);
    return v;
}

[[noreturn]] void refuse(const QString& hex, const QString& why) {
    throw WaveError(QStringLiteral("Formato de áudio não suportado (%1): %2").arg(why, hex));
}

}  // namespace

pa_sample_spec WaveFormat::sampleSpec() const {
    pa_sample_spec result;
    result.format = bits == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16NE;
    result.rate = static_cast<std::uint32_t>(rate);
    result.channels = static_cast<std::uint8_t>(channels);
    return result;
}

WaveFormat parseWaveFormat(const QString& hex) {
    const QString text = hex.trimmed();
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    static const QRegularExpression hexDigits(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    // The header alone, or the header and a cbSize field.
    if (!hexDigits.match(text).hasMatch() ||
        (bytes.size() != kHeaderBytes && bytes.size() != kHeaderBytes + 2)) {
        refuse(hex, QStringLiteral("texto inválido"));
    }
    const auto tag = littleEndian(bytes, 0, 2);
    const auto channels = littleEndian(bytes, 2, 2);
    const auto rate = littleEndian(bytes, 4, 4);
    const auto byteRate = littleEndian(bytes, 8, 4);
    const auto block = littleEndian(bytes, 12, 2);
    const auto bits = littleEndian(bytes, 14, 2);
    const auto extra = bytes.size() == kHeaderBytes + 2 ? littleEndian(bytes, 16, 2) : 0;

    if (tag != kPcmTag)
        refuse(hex, QStringLiteral("não é PCM"));
    if (bits != 8 && bits != 16)
        refuse(hex, QStringLiteral("%1 bits").arg(bits));
    if (channels < 1 || channels > 2)
        refuse(hex, QStringLiteral("%1 canais").arg(channels));
    if (rate < 1000 || rate > 192000)
        refuse(hex, QStringLiteral("%1 Hz").arg(rate));
    if (block != channels * bits / 8 || byteRate != rate * block || extra != 0) {
        refuse(hex, QStringLiteral("campos inconsistentes"));
    }
    return WaveFormat{static_cast<int>(rate), static_cast<int>(channels), static_cast<int>(bits)};
}

}  // namespace quindra::pulse
