#include "audio/views/Spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <type_traits>

namespace quindra {

namespace {

struct FftwFree {
    void operator()(void* p) const noexcept { fftw_free(p); }
};
struct FftwPlanDestroy {
    void operator()(fftw_plan p) const noexcept { fftw_destroy_plan(p); }
};
using FftwPlan = std::unique_ptr<std::remove_pointer_t<fftw_plan>, FftwPlanDestroy>;

constexpr double kFullScale = 32768.0;

}  // namespace

// FFTW's aligned buffers and the plan made on them, freed in reverse order.
struct SpectrumAnalyzer::Fft {
    explicit Fft(std::size_t n) : in(fftw_alloc_real(n)), out(fftw_alloc_complex(n / 2 + 1)) {
        if (!in || !out)
            throw std::bad_alloc();
        // Estimate, not measure: planning stays instant and leaves the
        // buffers alone.
        plan.reset(fftw_plan_dft_r2c_1d(static_cast<int>(n), in.get(), out.get(), FFTW_ESTIMATE));
        if (!plan)
            throw std::runtime_error("FFTW could not plan the spectrum transform");
    }
    std::unique_ptr<double[], FftwFree> in;
    std::unique_ptr<fftw_complex[], FftwFree> out;
    FftwPlan plan;
};

SpectrumAnalyzer::SpectrumAnalyzer(std::size_t size) : size_(size), window_(size) {
    if (size < 2 || size % 2 != 0)
        throw std::invalid_argument("FFT size must be even");
    double sum = 0.0;
    for (std::size_t i = 0; i < size; ++i) {
        // Periodic Hann: its bins line up with the transform's.
        window_[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                          static_cast<double>(size));
        sum += window_[i];
    }
    reference_ = kFullScale * sum / 2.0;
    fft_ = std::make_unique<Fft>(size);
    magnitudes_.assign(binCount(), kSpectrumFloorDb);
}

SpectrumAnalyzer::~SpectrumAnalyzer() = default;

void SpectrumAnalyzer::analyse(std::span<const std::int16_t> latest) {
    if (latest.size() > size_)
        latest = latest.last(size_);
    const std::size_t pad = size_ - latest.size();
    double* in = fft_->in.get();
    std::fill_n(in, pad, 0.0);
    for (std::size_t i = 0; i < latest.size(); ++i)
        in[pad + i] = static_cast<double>(latest[i]) * window_[pad + i];

    fftw_execute(fft_->plan.get());

    const fftw_complex* out = fft_->out.get();
    const double floorPower = std::pow(10.0, kSpectrumFloorDb / 10.0);
    const double refDb = 20.0 * std::log10(reference_);
    for (std::size_t k = 0; k < magnitudes_.size(); ++k) {
        const double power = out[k][0] * out[k][0] + out[k][1] * out[k][1];
        const double db = 10.0 * std::log10(std::max(power, floorPower)) - refDb;
        magnitudes_[k] = std::max(static_cast<float>(db), kSpectrumFloorDb);
    }
}

std::size_t SpectrumAnalyzer::peakBin() const {
    return static_cast<std::size_t>(std::max_element(magnitudes_.begin(), magnitudes_.end()) -
                                    magnitudes_.begin());
}

double binFrequency(std::size_t bin, std::size_t size, int rate) {
    return static_cast<double>(bin) * rate / static_cast<double>(size);
}

LogFrequencyAxis::LogFrequencyAxis(double lowHz, double highHz)
    : low_(lowHz), high_(std::max(highHz, lowHz * 2.0)), span_(std::log(high_ / low_)) {
    if (lowHz <= 0.0)
        throw std::invalid_argument("a log axis starts above 0 Hz");
}

double LogFrequencyAxis::position(double hz) const {
    return std::log(std::max(hz, low_) / low_) / span_;
}

double LogFrequencyAxis::frequency(double position) const {
    return low_ * std::exp(position * span_);
}

void spectrumBands(std::span<const float> binsDb, int rate, const LogFrequencyAxis& axis,
                   std::span<float> bands) {
    if (binsDb.size() < 2 || rate <= 0) {
        std::fill(bands.begin(), bands.end(), kSpectrumFloorDb);
        return;
    }
    const std::size_t last = binsDb.size() - 1;
    const double binWidth = rate / (2.0 * static_cast<double>(last));
    const double count = static_cast<double>(bands.size());
    for (std::size_t b = 0; b < bands.size(); ++b) {
        const double lo = axis.frequency(static_cast<double>(b) / count) / binWidth;
        const double hi = axis.frequency(static_cast<double>(b + 1) / count) / binWidth;
        const auto first = static_cast<std::size_t>(std::ceil(lo));
        // The top band ends on the Nyquist bin and takes it.
        const auto end = b + 1 == bands.size()
                             ? last + 1
                             : std::min(static_cast<std::size_t>(std::ceil(hi)), last + 1);
        if (first < end) {
            bands[b] = *std::max_element(binsDb.begin() + static_cast<std::ptrdiff_t>(first),
                                         binsDb.begin() + static_cast<std::ptrdiff_t>(end));
            continue;
        }
        // No bin centre inside: read between the two bins around the band's
        // middle, so the low end of the axis climbs smoothly instead of in steps.
        const double centre = std::min(std::sqrt(lo * hi), static_cast<double>(last));
        const auto left = std::min(static_cast<std::size_t>(centre), last - 1);
        const double t = centre - static_cast<double>(left);
        bands[b] = static_cast<float>((1.0 - t) * binsDb[left] + t * binsDb[left + 1]);
    }
}

bool fallTowards(std::span<float> shown, std::span<const float> target, float maxFall) {
    bool falling = false;
    const std::size_t n = std::min(shown.size(), target.size());
    for (std::size_t i = 0; i < n; ++i) {
        shown[i] = std::max(target[i], shown[i] - maxFall);
        falling = falling || shown[i] > target[i];
    }
    return falling;
}

}  // namespace quindra
