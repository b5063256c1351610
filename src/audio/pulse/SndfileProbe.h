#pragma once

#include "ports/AudioProbe.h"

namespace quindra::pulse {

// Tries a file as the player would take it: the same decoder reads it from
// its first frame to its last, so a file cut short or damaged anywhere is
// refused, and one that holds nothing but digital silence is told apart. A
// rate the player cannot convert in real time, or a message too short to be
// heard, is refused too.
class SndfileProbe final : public AudioProbe {
public:
    explicit SndfileProbe(int channels = 1) : channels_(channels) {}

    bool decodable(const QString& path) override { return examine(path) == Verdict::Playable; }
    Verdict examine(const QString& path) override;

private:
    int channels_;
};

}  // namespace quindra::pulse
