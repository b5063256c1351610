#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/loudness/SoundFigures.h"

namespace quindra::loudness {

// Measures a mono 16-bit signal fed in blocks of any size: duration,
// integrated loudness and true peak (libebur128), the share of its energy
// outside the telephone band (an averaged FFT power spectrum) and the runs of
// samples flat at full scale.
class SoundMeter {
public:
    // The telephone band, in Hz.
    static constexpr double kBandLowHz = 300.0;
    static constexpr double kBandHighHz = 3400.0;
    // A run this long at full scale is a cut peak: a clean waveform touches
    // full scale on a sample or two, a clipped one stays flat.
    static constexpr int kClipRunSamples = 3;

    explicit SoundMeter(int rate);
    ~SoundMeter();
    SoundMeter(const SoundMeter&) = delete;
    SoundMeter& operator=(const SoundMeter&) = delete;

    void add(const std::int16_t* samples, std::size_t count);
    // The figures of everything added so far.
    SoundFigures figures();

private:
    class Loudness;
    class Spectrum;

    void countClips(const std::int16_t* samples, std::size_t count);

    int rate_;
    std::unique_ptr<Loudness> loudness_;
    std::unique_ptr<Spectrum> spectrum_;
    std::uint64_t samples_ = 0;
    int run_ = 0;  // full-scale samples in a row so far
    std::int64_t clippedRuns_ = 0;
};

}  // namespace quindra::loudness
