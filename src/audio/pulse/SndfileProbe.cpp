#include "audio/pulse/SndfileProbe.h"

#include "audio/WaveControl.h"
#include "audio/pulse/FileDecoder.h"

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
