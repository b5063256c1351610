#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace quindra::testing {

// Test signals, files written with libsndfile, and the few measurements the
// tests make on what was played or captured.

// Deterministic noise that never repeats within a test file and starts with a
// non-zero sample, so its start is found in silence.
std::vector<std::int16_t> noise(std::size_t count, std::uint32_t variant = 1);

// Noise below about 2 kHz: a sound converters between rates keep nearly as
// it is, so its passes are found again after PipeWire's conversions.
std::vector<std::int16_t> softNoise(std::size_t count, std::uint32_t variant = 1);

// format: SF_FORMAT_* major | subtype. Frames interleaved for `channels`.
void writeSound(const QString& path, int format, int rate, int channels,
                const std::vector<std::int16_t>& frames);
// All frames of a file as the player decodes them to 16 bit: read as
// floating point and clipped.
std::vector<std::int16_t> decodeSound(const QString& path);

// Where `pattern` starts in `played`, aligned on the first non-zero sample of
// each; nothing when `played` has no sound.
std::optional<std::size_t> findStart(const std::vector<std::int16_t>& played,
                                     const std::vector<std::int16_t>& pattern);
// How many times `pattern` follows itself exactly from `start`.
int exactRepeats(const std::vector<std::int16_t>& played, std::size_t start,
                 const std::vector<std::int16_t>& pattern);
// Where each pass of `pattern` starts in `played`, judged by correlation, so
// that a converted copy counts: the first one anywhere, each next one within
// `slack` samples of one pattern length after the one before. Ends at the
// first pass that is missing or does not match well.
std::vector<std::size_t> passStarts(const std::vector<std::int16_t>& played,
                                    const std::vector<std::int16_t>& pattern,
                                    std::size_t slack = 64);
// Frequency from the rising zero crossings, and the RMS level.
double frequency(const std::vector<std::int16_t>& s, int rate);
double rms(const std::vector<std::int16_t>& s);
std::size_t nonZero(const std::vector<std::int16_t>& s, std::size_t from = 0);

}  // namespace quindra::testing
