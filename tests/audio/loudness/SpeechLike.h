#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace quindra::testing {

// A sum of `partials` sines at frequencies spread over [lowHz, highHz] with
// scattered phases, so that its spectrum lies in that band; scaled to an RMS
// of `rmsDbfs` (0 dB: full scale), then multiplied by `overdrive` and cut at
// full scale. `syllables` gives it the on and off of speech, four times a
// second.
inline std::vector<std::int16_t> bandSound(double seconds, int rate, double lowHz, double highHz,
                                           double rmsDbfs, bool syllables = false,
                                           double overdrive = 1.0, int partials = 40,
                                           std::uint32_t variant = 7) {
    const auto count = static_cast<std::size_t>(seconds * rate);
    std::vector<double> v(count, 0.0);
    std::uint32_t x = variant;
    const auto next = [&x] {
        x = x * 1664525u + 1013904223u;
        return static_cast<double>(x >> 8) / static_cast<double>(1u << 24);
    };
    for (int p = 0; p < partials; ++p) {
        const double hz = lowHz + (highHz - lowHz) * next();
        const double phase = 2.0 * std::numbers::pi * next();
        const double step = 2.0 * std::numbers::pi * hz / rate;
        for (std::size_t i = 0; i < count; ++i)
            v[i] += std::sin(phase + step * static_cast<double>(i));
    }
    if (syllables) {
        for (std::size_t i = 0; i < count; ++i) {
            const double e = std::sin(2.0 * std::numbers::pi * 4.0 * static_cast<double>(i) / rate);
            v[i] *= std::max(0.0, e);
        }
    }
    double sum = 0.0;
    for (double s : v)
        sum += s * s;
    const double scale =
        std::pow(10.0, rmsDbfs / 20.0) / std::sqrt(sum / static_cast<double>(count)) * overdrive;
    std::vector<std::int16_t> out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::int16_t>(
            std::clamp(std::lround(v[i] * scale * 32768.0), -32768L, 32767L));
    return out;
}

}  // namespace quindra::testing
