#pragma once

#include "ports/AudioProbe.h"

namespace quindra::pulse {

// Tries a file as the player would take it: the same decoder opens it and
// decodes its first block in the channel format.
class SndfileProbe final : public AudioProbe {
public:
    explicit SndfileProbe(int rate = 44100, int channels = 1) : rate_(rate), channels_(channels) {}

    bool decodable(const QString& path) override;

private:
    int rate_;
    int channels_;
};

}  // namespace quindra::pulse
