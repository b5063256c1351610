#include "audio/pulse/PulseFormat.h"

#include <cstdint>

namespace quindra::pulse {

namespace {

[[noreturn]] void refuse(const WaveFormat& format, const QString& why) {
    throw WaveError(QStringLiteral("Formato de áudio não suportado (%1): %2 Hz, %3 canais, %4 bits")
                        .arg(why)
                        .arg(format.rate)
                        .arg(format.channels)
                        .arg(format.bits));
}

}  // namespace

pa_sample_spec sampleSpecOf(const WaveFormat& format) {
    pa_sample_spec result;
    result.format = format.bits == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16NE;
    result.rate = static_cast<std::uint32_t>(format.rate);
    result.channels = static_cast<std::uint8_t>(format.channels);
    return result;
}

void requirePlayable(const WaveFormat& format) {
    if (format.bits != 8 && format.bits != 16)
        refuse(format, QStringLiteral("%1 bits").arg(format.bits));
    if (format.channels < 1 || format.channels > 2)
        refuse(format, QStringLiteral("%1 canais").arg(format.channels));
    if (format.rate < 1000 || format.rate > 192000)
        refuse(format, QStringLiteral("%1 Hz").arg(format.rate));
}

}  // namespace quindra::pulse
