#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quindra {

// The lowest and highest sample of one screen column, -1 to 1.
struct ColumnSpan {
    float low = 0.0F;
    float high = 0.0F;
};

// Reduces `samples` to min(samples.size(), columns.size()) columns, in order,
// every sample in exactly one column; returns how many columns it filled.
std::size_t decimate(std::span<const std::int16_t> samples, std::span<ColumnSpan> columns);

}  // namespace quindra
