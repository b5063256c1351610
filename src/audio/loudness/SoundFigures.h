#pragma once

#include <cstdint>
#include <optional>

namespace quindra::loudness {

// What a message will sound like on the telephone line, measured on the
// samples the player plays (mono, 16 bit, at the player's rate).
struct SoundFigures {
    double seconds = 0.0;
    // Integrated loudness (EBU R128 / ITU-R BS.1770); none when the whole
    // message lies below the absolute gate (-70 LUFS).
    std::optional<double> loudnessLufs;
    // True peak, in dB relative to full scale; -inf for digital silence.
    double truePeakDbtp = 0.0;
    // Share of the energy below 300 Hz or above 3400 Hz, from 0 to 1.
    double outOfBandShare = 0.0;
    // Stretches of consecutive samples flat at full scale (cut peaks).
    std::int64_t clippedRuns = 0;
};

}  // namespace quindra::loudness
