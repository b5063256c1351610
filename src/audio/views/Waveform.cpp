#include "audio/views/Waveform.h"

#include <algorithm>

namespace quindra {

std::size_t decimate(std::span<const std::int16_t> samples, std::span<ColumnSpan> columns) {
    const std::size_t n = samples.size();
    const std::size_t count = std::min(n, columns.size());
    constexpr float kScale = 1.0F / 32768.0F;
    for (std::size_t c = 0; c < count; ++c) {
        const std::size_t begin = c * n / count;
        const std::size_t end = (c + 1) * n / count;
        const auto [lo, hi] =
            std::minmax_element(samples.begin() + static_cast<std::ptrdiff_t>(begin),
                                samples.begin() + static_cast<std::ptrdiff_t>(end));
        columns[c] = {static_cast<float>(*lo) * kScale, static_cast<float>(*hi) * kScale};
    }
    return count;
}

}  // namespace quindra
