#include "audio/views/Level.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quindra {

namespace {

double toDb(double fraction) {
    return fraction > 0.0 ? std::max(20.0 * std::log10(fraction), kSilenceDb) : kSilenceDb;
}

}  // namespace

Level measureLevel(std::span<const std::int16_t> samples) {
    if (samples.empty())
        return {};
    double sumSquares = 0.0;
    int peak = 0;
    for (const std::int16_t s : samples) {
        sumSquares += static_cast<double>(s) * s;
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    constexpr double kFullScale = 32768.0;
    const double rms = std::sqrt(sumSquares / static_cast<double>(samples.size()));
    return {toDb(rms / kFullScale), toDb(peak / kFullScale)};
}

void LevelMeter::update(std::span<const std::int16_t> samples, double seconds) {
    measured_ = measureLevel(samples);
    barDb_ = std::max(measured_.rmsDb, barDb_ - kBarFallDbPerSecond * seconds);
    if (measured_.peakDb >= heldPeakDb_) {
        heldPeakDb_ = measured_.peakDb;
        heldFor_ = 0.0;
        return;
    }
    heldFor_ += seconds;
    if (heldFor_ > kPeakHoldSeconds) {
        const double falling = std::min(seconds, heldFor_ - kPeakHoldSeconds);
        heldPeakDb_ = std::max(measured_.peakDb, heldPeakDb_ - kPeakFallDbPerSecond * falling);
    }
}

bool LevelMeter::settling() const {
    return barDb_ > measured_.rmsDb || heldPeakDb_ > measured_.peakDb;
}

}  // namespace quindra
