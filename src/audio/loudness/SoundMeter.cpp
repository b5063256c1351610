#include "audio/loudness/SoundMeter.h"

#include <ebur128.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace quindra::loudness {

namespace {

constexpr std::size_t kFftSize = 4096;
constexpr std::size_t kHop = kFftSize / 2;

struct FftwfFree {
    void operator()(void* p) const noexcept { fftwf_free(p); }
};
struct FftwfPlanDestroy {
    void operator()(fftwf_plan p) const noexcept { fftwf_destroy_plan(p); }
};

}  // namespace

// The averaged power spectrum (Hann windows overlapping by half). The
// single-precision FFTW keeps a planner of its own, apart from the double
// one the monitor views plan with on the UI thread: FFTW's planner is not
// safe to use from two threads at once.
class SoundMeter::Spectrum {
public:
    explicit Spectrum(int rate)
        : rate_(rate),
          in_(fftwf_alloc_real(kFftSize)),
          out_(fftwf_alloc_complex(kFftSize / 2 + 1)),
          window_(kFftSize),
          power_(kFftSize / 2 + 1, 0.0) {
        plan_.reset(fftwf_plan_dft_r2c_1d(static_cast<int>(kFftSize), in_.get(), out_.get(),
                                          FFTW_ESTIMATE));
        for (std::size_t i = 0; i < kFftSize; ++i)
            window_[i] = static_cast<float>(
                0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / kFftSize));
        frame_.reserve(kFftSize);
    }

    void add(const std::int16_t* samples, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            frame_.push_back(static_cast<float>(samples[i]) / 32768.0f);
            if (frame_.size() == kFftSize) {
                transform(kFftSize);
                frame_.erase(frame_.begin(), frame_.begin() + kHop);
            }
        }
    }

    double outOfBandShare() {
        // A message shorter than one window, or its tail, is measured with
        // the samples it has, in a copy: more samples may follow.
        const std::vector<double> kept = power_;
        const std::uint64_t keptFrames = frames_;
        if (frames_ == 0 || frame_.size() > kFftSize - kHop)
            transform(frame_.size());
        const double share = shareOf(power_);
        power_ = kept;
        frames_ = keptFrames;
        return share;
    }

private:
    double shareOf(const std::vector<double>& power) const {
        double inBand = 0.0;
        double total = 0.0;
        for (std::size_t k = 0; k < power.size(); ++k) {
            const double hz = static_cast<double>(k) * rate_ / kFftSize;
            total += power[k];
            if (hz >= kBandLowHz && hz <= kBandHighHz)
                inBand += power[k];
        }
        return total > 0.0 ? (total - inBand) / total : 0.0;
    }

    void transform(std::size_t used) {
        std::fill_n(in_.get(), kFftSize, 0.0f);
        for (std::size_t i = 0; i < used; ++i)
            in_.get()[i] = frame_[i] * window_[i];
        fftwf_execute(plan_.get());
        const fftwf_complex* out = out_.get();
        for (std::size_t k = 0; k < power_.size(); ++k)
            power_[k] += static_cast<double>(out[k][0]) * out[k][0] +
                         static_cast<double>(out[k][1]) * out[k][1];
        ++frames_;
    }

    int rate_;
    std::unique_ptr<float[], FftwfFree> in_;
    std::unique_ptr<fftwf_complex[], FftwfFree> out_;
    std::unique_ptr<std::remove_pointer_t<fftwf_plan>, FftwfPlanDestroy> plan_;
    std::vector<float> window_;
    std::vector<float> frame_;
    std::vector<double> power_;
    std::uint64_t frames_ = 0;
};

class SoundMeter::Loudness {
public:
    explicit Loudness(int rate)
        : state_(ebur128_init(1, static_cast<unsigned long>(rate),
                              EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK)) {}
    ~Loudness() {
        if (state_)
            ebur128_destroy(&state_);
    }
    Loudness(const Loudness&) = delete;
    Loudness& operator=(const Loudness&) = delete;

    ebur128_state* get() const { return state_; }

private:
    ebur128_state* state_;
};

SoundMeter::SoundMeter(int rate)
    : rate_(rate),
      loudness_(std::make_unique<Loudness>(rate)),
      spectrum_(std::make_unique<Spectrum>(rate)) {}

SoundMeter::~SoundMeter() = default;

void SoundMeter::add(const std::int16_t* samples, std::size_t count) {
    if (loudness_->get())
        ebur128_add_frames_short(loudness_->get(), samples, count);
    spectrum_->add(samples, count);
    countClips(samples, count);
    samples_ += count;
}

void SoundMeter::countClips(const std::int16_t* samples, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (samples[i] >= 32767 || samples[i] <= -32767) {
            if (++run_ == kClipRunSamples)
                ++clippedRuns_;
        } else {
            run_ = 0;
        }
    }
}

SoundFigures SoundMeter::figures() {
    SoundFigures f;
    f.seconds = static_cast<double>(samples_) / rate_;
    f.clippedRuns = clippedRuns_;
    f.outOfBandShare = spectrum_->outOfBandShare();
    f.truePeakDbtp = -std::numeric_limits<double>::infinity();
    ebur128_state* state = loudness_->get();
    if (!state)
        return f;
    double lufs = 0.0;
    if (ebur128_loudness_global(state, &lufs) == EBUR128_SUCCESS && std::isfinite(lufs))
        f.loudnessLufs = lufs;
    double peak = 0.0;
    if (ebur128_true_peak(state, 0, &peak) == EBUR128_SUCCESS && peak > 0.0)
        f.truePeakDbtp = 20.0 * std::log10(peak);
    return f;
}

}  // namespace quindra::loudness
