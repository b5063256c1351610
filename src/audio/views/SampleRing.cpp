#include "audio/views/SampleRing.h"

#include <algorithm>
#include <stdexcept>

namespace quindra {

SampleRing::SampleRing(std::size_t capacity) : data_(capacity) {
    if (capacity == 0)
        throw std::invalid_argument("SampleRing needs room for one sample");
}

void SampleRing::push(std::span<const std::int16_t> chunk) {
    const std::size_t cap = data_.size();
    if (chunk.size() >= cap) {
        std::copy(chunk.end() - static_cast<std::ptrdiff_t>(cap), chunk.end(), data_.begin());
        next_ = 0;
        size_ = cap;
        return;
    }
    // At most two copies: up to the end of the storage, then from its start.
    const std::size_t first = std::min(chunk.size(), cap - next_);
    std::copy_n(chunk.begin(), first, data_.begin() + static_cast<std::ptrdiff_t>(next_));
    std::copy(chunk.begin() + static_cast<std::ptrdiff_t>(first), chunk.end(), data_.begin());
    next_ = (next_ + chunk.size()) % cap;
    size_ = std::min(cap, size_ + chunk.size());
}

void SampleRing::clear() {
    next_ = 0;
    size_ = 0;
}

std::size_t SampleRing::copyLatest(std::span<std::int16_t> out) const {
    const std::size_t cap = data_.size();
    const std::size_t n = std::min(out.size(), size_);
    const std::size_t start = (next_ + cap - n) % cap;
    const std::size_t first = std::min(n, cap - start);
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(start), first, out.begin());
    std::copy_n(data_.begin(), n - first, out.begin() + static_cast<std::ptrdiff_t>(first));
    return n;
}

}  // namespace quindra
