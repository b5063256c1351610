#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quindra {

// The newest samples of a stream, in a buffer sized once: pushing never
// allocates, and a chunk longer than the buffer leaves only its tail.
class SampleRing {
public:
    explicit SampleRing(std::size_t capacity);

    void push(std::span<const std::int16_t> chunk);
    void clear();

    std::size_t capacity() const { return data_.size(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // Copies the newest min(out.size(), size()) samples, oldest first, to the
    // front of `out` and returns how many.
    std::size_t copyLatest(std::span<std::int16_t> out) const;

private:
    std::vector<std::int16_t> data_;
    std::size_t next_ = 0;  // where the next sample goes
    std::size_t size_ = 0;
};

}  // namespace quindra
