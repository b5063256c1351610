#include <gtest/gtest.h>

#include <optional>

#include "audio/pulse/WaveFormat.h"
#include "ports/WaveControl.h"

namespace quindra::pulse {
namespace {

struct FormatCase {
    const char* hex;
    std::optional<WaveFormat> expected;  // nothing: refused
};

class PulseWaveFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PulseWaveFormat, ReadsPcmAndRefusesTheRest) {
    const auto& c = GetParam();
    if (c.expected) {
        const WaveFormat f = parseWaveFormat(QString::fromLatin1(c.hex));
        EXPECT_EQ(f, *c.expected);
    } else {
        EXPECT_THROW(parseWaveFormat(QString::fromLatin1(c.hex)), WaveError);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PulseWaveFormat,
    ::testing::Values(
        // The hold message's format.
        FormatCase{"0100010044AC000088580100020010000000", WaveFormat{44100, 1, 16}},
        FormatCase{"0100010044ac000088580100020010000000", WaveFormat{44100, 1, 16}},
        FormatCase{"0100010044AC00008858010002001000", WaveFormat{44100, 1, 16}},  // no cbSize
        FormatCase{"0100020080BB000000EE0200040010000000", WaveFormat{48000, 2, 16}},
        FormatCase{"01000100401F0000401F0000010008000000", WaveFormat{8000, 1, 8}},
        FormatCase{"0300010044AC000010B10200040020000000", std::nullopt},      // IEEE float
        FormatCase{"0100010044AC0000CC040200030018000000", std::nullopt},      // 24 bit
        FormatCase{"0100010044AC000000000000020010000000", std::nullopt},      // wrong byte rate
        FormatCase{"0100010044AC000088580100040010000000", std::nullopt},      // wrong block
        FormatCase{"0100000044AC000000000000000010000000", std::nullopt},      // no channels
        FormatCase{"0100010044AC000088580100020010000200FFFF", std::nullopt},  // extra bytes
        FormatCase{"0100010044AC00008858", std::nullopt},                      // cut short
        FormatCase{"", std::nullopt}, FormatCase{"PCM 44.100 kHz", std::nullopt}));

}  // namespace
}  // namespace quindra::pulse
