#pragma once

#include <cstdint>
#include <span>

namespace quindra {

// What the level meter calls silence: below a 16-bit stream's smallest step.
inline constexpr double kSilenceDb = -96.0;

// Levels in dB relative to full scale (32768): a full-scale square wave reads
// 0 dB for both, a full-scale sine 0 dB peak and -3 dB RMS.
struct Level {
    double rmsDb = kSilenceDb;
    double peakDb = kSilenceDb;
};

// RMS and peak of `samples`; no samples are silence.
Level measureLevel(std::span<const std::int16_t> samples);

// The meter's ballistics: the bar jumps up to a louder RMS and falls back
// slowly; the peak marker holds the loudest peak for a while, then falls.
class LevelMeter {
public:
    static constexpr double kBarFallDbPerSecond = 30.0;
    static constexpr double kPeakHoldSeconds = 1.5;
    static constexpr double kPeakFallDbPerSecond = 15.0;

    // `samples` arrived during the last `seconds`; none means silence.
    void update(std::span<const std::int16_t> samples, double seconds);
    void reset() { *this = LevelMeter{}; }

    const Level& measured() const { return measured_; }
    double barDb() const { return barDb_; }
    double heldPeakDb() const { return heldPeakDb_; }
    // True while the bar or the marker has not yet come down to the input.
    bool settling() const;

private:
    Level measured_;
    double barDb_ = kSilenceDb;
    double heldPeakDb_ = kSilenceDb;
    double heldFor_ = 0.0;
};

}  // namespace quindra
