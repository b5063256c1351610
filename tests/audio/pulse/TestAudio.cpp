#include "TestAudio.h"

#include <sndfile.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace quindra::testing {

std::vector<std::int16_t> noise(std::size_t count, std::uint32_t variant) {
    std::vector<std::int16_t> s(count);
    std::uint32_t x = variant;
    for (auto& v : s) {
        x = x * 1664525u + 1013904223u;
        v = static_cast<std::int16_t>(static_cast<int>(x >> 16) % 40001 - 20000);
    }
    if (!s.empty() && s[0] == 0)
        s[0] = 1234;
    return s;
}

std::vector<std::int16_t> softNoise(std::size_t count, std::uint32_t variant) {
    std::vector<std::int16_t> s(count);
    std::uint32_t x = variant;
    double lp1 = 0, lp2 = 0;
    for (auto& v : s) {
        x = x * 1664525u + 1013904223u;
        const double white = static_cast<double>(static_cast<int>(x >> 16) % 40001 - 20000);
        lp1 += 0.3 * (white - lp1);
        lp2 += 0.3 * (lp1 - lp2);
        v = static_cast<std::int16_t>(std::lround(std::clamp(lp2 * 1.6, -30000.0, 30000.0)));
    }
    return s;
}

void writeSound(const QString& path, int format, int rate, int channels,
                const std::vector<std::int16_t>& frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f)
        throw std::runtime_error(sf_strerror(nullptr));
    sf_writef_short(f, frames.data(), static_cast<sf_count_t>(frames.size()) / channels);
    sf_close(f);
}

std::vector<std::int16_t> decodeSound(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        throw std::runtime_error(sf_strerror(nullptr));
    std::vector<std::int16_t> all;
    std::vector<float> block(1000 * static_cast<std::size_t>(info.channels));
    while (const sf_count_t n = sf_readf_float(f, block.data(), 1000)) {
        for (sf_count_t i = 0; i < n * info.channels; ++i) {
            all.push_back(static_cast<std::int16_t>(std::clamp(
                std::lrintf(block[static_cast<std::size_t>(i)] * 32768.0f), -32768L, 32767L)));
        }
    }
    sf_close(f);
    return all;
}

std::optional<std::size_t> findStart(const std::vector<std::int16_t>& played,
                                     const std::vector<std::int16_t>& pattern) {
    const auto firstSound = [](const std::vector<std::int16_t>& s) {
        return static_cast<std::size_t>(
            std::find_if(s.begin(), s.end(), [](auto v) { return v != 0; }) - s.begin());
    };
    const std::size_t p = firstSound(played);
    const std::size_t lead = firstSound(pattern);
    if (p == played.size() || p < lead)
        return std::nullopt;
    return p - lead;
}

int exactRepeats(const std::vector<std::int16_t>& played, std::size_t start,
                 const std::vector<std::int16_t>& pattern) {
    int n = 0;
    for (std::size_t at = start; at + pattern.size() <= played.size(); at += pattern.size()) {
        if (!std::equal(pattern.begin(), pattern.end(),
                        played.begin() + static_cast<std::ptrdiff_t>(at)))
            break;
        ++n;
    }
    return n;
}

namespace {

// Normalised correlation of `pattern`'s first `window` samples with
// `played` from `at`.
double correlation(const std::vector<std::int16_t>& played, std::size_t at,
                   const std::vector<std::int16_t>& pattern, std::size_t window) {
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < window; ++i) {
        const double a = played[at + i];
        const double b = pattern[i];
        ab += a * b;
        aa += a * a;
        bb += b * b;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

}  // namespace

std::vector<std::size_t> passStarts(const std::vector<std::int16_t>& played,
                                    const std::vector<std::int16_t>& pattern, std::size_t slack) {
    const std::size_t window = std::min<std::size_t>(4096, pattern.size());
    const auto best = [&](std::size_t from, std::size_t to) -> std::optional<std::size_t> {
        std::optional<std::size_t> at;
        double top = 0.9;  // below this it is not the pattern
        for (std::size_t i = from; i <= to && i + pattern.size() <= played.size(); ++i) {
            const double c = correlation(played, i, pattern, window);
            if (c > top) {
                top = c;
                at = i;
            }
        }
        return at;
    };
    std::vector<std::size_t> starts;
    // The first pass follows the first loud sample, wherever that is.
    const auto loud = [](const std::vector<std::int16_t>& s) {
        return static_cast<std::size_t>(
            std::find_if(s.begin(), s.end(), [](auto v) { return std::abs(v) > 2000; }) -
            s.begin());
    };
    const std::size_t p = loud(played), lead = loud(pattern);
    if (p == played.size())
        return starts;
    const std::size_t guess = p > lead ? p - lead : 0;
    auto at = best(guess > 256 ? guess - 256 : 0, guess + 256);
    while (at) {
        starts.push_back(*at);
        const std::size_t next = *at + pattern.size();
        at = best(next - std::min(next, slack), next + slack);
    }
    return starts;
}

double frequency(const std::vector<std::int16_t>& s, int rate) {
    std::size_t first = 0, last = 0;
    int crossings = 0;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
}

double rms(const std::vector<std::int16_t>& s) {
    if (s.empty())
        return 0;
    double sum = 0;
    for (auto v : s)
        sum += static_cast<double>(v) * v;
    return std::sqrt(sum / static_cast<double>(s.size()));
}

std::size_t nonZero(const std::vector<std::int16_t>& s, std::size_t from) {
    return static_cast<std::size_t>(
        std::count_if(s.begin() + static_cast<std::ptrdiff_t>(std::min(from, s.size())), s.end(),
                      [](auto v) { return v != 0; }));
}

}  // namespace quindra::testing
