#include "audio/pulse/SndfileProbe.h"

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
        std::vector<std::int16_t> block(8192 * static_cast<std::size_t>(channels_));
        while (!decoder.ended())
            decoder.read(block.data(), 8192);
        if (decoder.broken())
            return Verdict::Undecodable;
        return decoder.heardSound() ? Verdict::Playable : Verdict::Silent;
    } catch (const WaveError&) {
        return Verdict::Undecodable;
    }
}

}  // namespace quindra::pulse
