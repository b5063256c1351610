#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace quindra {

// Magnitudes below this are shown as nothing; a 16-bit stream's own noise
// floor lies further down.
inline constexpr float kSpectrumFloorDb = -120.0F;

// Magnitude spectrum of the newest `size()` samples: Hann window, real FFT,
// in dB relative to a full-scale sine, so a sine of amplitude A (of 32768)
// centred on a bin reads 20*log10(A) there. The transform is planned once;
// analyse() allocates nothing.
class SpectrumAnalyzer {
public:
    explicit SpectrumAnalyzer(std::size_t size = 1024);
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
    SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

    std::size_t size() const { return size_; }
    std::size_t binCount() const { return size_ / 2 + 1; }

    // `latest` ends with the newest sample. Longer input uses its tail;
    // shorter input counts as silence before its first sample.
    void analyse(std::span<const std::int16_t> latest);

    // One value per bin, from 0 Hz to the Nyquist frequency.
    std::span<const float> magnitudesDb() const { return magnitudes_; }
    std::size_t peakBin() const;

private:
    struct Fft;
    std::size_t size_;
    std::vector<double> window_;
    double reference_;  // |X| of a full-scale sine on a bin
    std::unique_ptr<Fft> fft_;
    std::vector<float> magnitudes_;
};

// Centre frequency of `bin` for a transform of `size` samples at `rate`.
double binFrequency(std::size_t bin, std::size_t size, int rate);

// Logarithmic frequency axis from `lowHz` to `highHz`: position 0 to 1.
class LogFrequencyAxis {
public:
    LogFrequencyAxis(double lowHz, double highHz);
    double position(double hz) const;
    double frequency(double position) const;
    double low() const { return low_; }
    double high() const { return high_; }

private:
    double low_;
    double high_;
    double span_;  // log of high/low
};

// Fills `bands`, equal slices of `axis`, from a spectrum of `binsDb` (as
// SpectrumAnalyzer gives them) at `rate`: each band takes its loudest bin,
// and a band narrower than a bin takes the value between its neighbours.
void spectrumBands(std::span<const float> binsDb, int rate, const LogFrequencyAxis& axis,
                   std::span<float> bands);

// Moves each `shown` value to its `target` at once when the target is higher,
// otherwise down by at most `maxFall`. True while some value is still above
// its target.
bool fallTowards(std::span<float> shown, std::span<const float> target, float maxFall);

}  // namespace quindra
