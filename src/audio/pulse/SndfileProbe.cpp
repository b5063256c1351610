#include "audio/pulse/SndfileProbe.h"

#include "audio/pulse/FileDecoder.h"
#include "ports/WaveControl.h"

namespace quindra::pulse {

bool SndfileProbe::decodable(const QString& path) {
    try {
        FileDecoder decoder(path, rate_, channels_);
        return true;
    } catch (const WaveError&) {
        return false;
    }
}

}  // namespace quindra::pulse
