#pragma once

// Raw audio as the hold device's FIFO gives it (s16le mono), for the
// benchmarks' helpers. A file that cannot be read or written ends the helper
// with status 2, as its other failures do.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

namespace quindra::bench {

using Samples = std::vector<std::int16_t>;

[[noreturn]] inline void rawFailure(const std::string& what) {
    std::cerr << what << '\n';
    std::exit(2);
}

// The samples in bytes [from, to) of the file, cut to its size.
inline Samples readRaw(const std::string& path, std::uint64_t from = 0,
                       std::uint64_t to = std::numeric_limits<std::uint64_t>::max()) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        rawFailure("cannot read " + path);
    in.seekg(0, std::ios::end);
    const auto size = static_cast<std::uint64_t>(in.tellg());
    to = std::min(to, size);
    from -= from % 2;
    to -= to % 2;
    from = std::min(from, to);
    Samples s((to - from) / 2);
    in.seekg(static_cast<std::streamoff>(from));
    in.read(reinterpret_cast<char*>(s.data()), static_cast<std::streamsize>(s.size() * 2));
    if (!in)
        rawFailure("short read of " + path);
    return s;
}

inline void writeRaw(const std::string& path, const Samples& s) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(s.data()),
              static_cast<std::streamsize>(s.size() * sizeof(std::int16_t)));
    if (!out)
        rawFailure("cannot write " + path);
}

}  // namespace quindra::bench
