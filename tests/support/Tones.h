#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace quindra::testing {

// `count` samples of a sine at `hz`, amplitude a fraction of full scale
// (32768), starting at phase 0.
inline std::vector<std::int16_t> sine(double hz, int rate, double amplitude, std::size_t count) {
    std::vector<std::int16_t> s(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double v = amplitude * 32768.0 *
                         std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate);
        s[i] = static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
    }
    return s;
}

// 0, 1, 2, ... : every sample says where it was in the stream.
inline std::vector<std::int16_t> ramp(std::size_t from, std::size_t count) {
    std::vector<std::int16_t> s(count);
    for (std::size_t i = 0; i < count; ++i)
        s[i] = static_cast<std::int16_t>(from + i);
    return s;
}

}  // namespace quindra::testing
