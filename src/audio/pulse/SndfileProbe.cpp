#include "audio/pulse/SndfileProbe.h"

#include <cstdint>
#include <vector>

#include "audio/pulse/FileDecoder.h"
#include "ports/WaveControl.h"

namespace quindra::pulse {

AudioProbe::Verdict SndfileProbe::examine(const QString& path) {
    try {
        FileDecoder::checkSoundFile(path);
        // The file's own rate: converting it would change nothing of what
        // is asked here, and costs more than the decoding.
        FileDecoder decoder(path, 0, channels_);
        const int rate = decoder.sourceRate();
        // Judged before decoding: at 1 Hz or 100 MHz the player would turn
        // a few samples into gigabytes, or never keep up.
        if (rate < kLowestRate || rate > kHighestRate)
            return Verdict::BadRate;
        std::vector<std::int16_t> block(8192 * static_cast<std::size_t>(channels_));
        std::int64_t frames = 0;
        while (!decoder.ended())
            frames += static_cast<std::int64_t>(decoder.read(block.data(), 8192));
        if (decoder.broken())
            return Verdict::Undecodable;
        // A message of a few samples would be replayed thousands of times a
        // second.
        if (frames * 1000 < std::int64_t{kShortestMs} * rate)
            return Verdict::TooShort;
        return decoder.heardSound() ? Verdict::Playable : Verdict::Silent;
    } catch (const WaveError&) {
        return Verdict::Undecodable;
    }
}

}  // namespace quindra::pulse
