#pragma once

#include <cstdint>

namespace quindra {

// A bar's range and value: the minimum is 0; a maximum equal to the minimum
// (or below it) is not accepted and the previous one is kept; the value is
// held within the range. Set the maximum before the value.
class GaugeRange {
public:
    std::int64_t maxValue() const { return max_; }
    std::int64_t userValue() const { return value_; }

    void setMaxValue(std::int64_t max) {
        if (max <= kMin)
            return;
        max_ = max;
        value_ = clamp(value_);
    }
    void setUserValue(std::int64_t value) { value_ = clamp(value); }

    // The value as a whole percentage of the range, rounded to the nearest.
    int percent() const {
        return static_cast<int>((static_cast<long double>(value_) * 100 + max_ / 2.0L) / max_);
    }

    bool operator==(const GaugeRange&) const = default;

private:
    static constexpr std::int64_t kMin = 0;
    std::int64_t clamp(std::int64_t v) const { return v < kMin ? kMin : v > max_ ? max_ : v; }

    // Until the first refresh a bar stands at half.
    std::int64_t max_ = 100;
    std::int64_t value_ = 50;
};

}  // namespace quindra
