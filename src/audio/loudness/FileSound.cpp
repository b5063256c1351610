#include "audio/loudness/FileSound.h"

#include <cstdint>
#include <vector>

#include "audio/loudness/SoundMeter.h"
#include "audio/pulse/FileDecoder.h"

namespace quindra::loudness {

SoundFigures MeasureFile(const QString& path, const WaveFormat& format,
                         const std::atomic<bool>* stop) {
    pulse::FileDecoder decoder(path, format.rate, 1);
    SoundMeter meter(format.rate);
    std::vector<std::int16_t> block(8192);
    while (!decoder.ended()) {
        if (stop && stop->load(std::memory_order_relaxed))
            throw WaveError(QStringLiteral("análise interrompida"));
        const std::size_t n = decoder.read(block.data(), block.size());
        meter.add(block.data(), n);
    }
    return meter.figures();
}

}  // namespace quindra::loudness
