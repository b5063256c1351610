#pragma once

#include <pulse/sample.h>

#include <QString>

namespace quindra::pulse {

// The PCM format of a player's stream, as a WAVEFORMATEX gives it.
struct WaveFormat {
    int rate = 44100;
    int channels = 1;
    int bits = 16;  // 8 (unsigned) or 16 (signed)

    int frameBytes() const { return channels * bits / 8; }
    pa_sample_spec sampleSpec() const;
    bool operator==(const WaveFormat&) const = default;
};

// Reads the hex text of a WAVEFORMATEX ("0100010044AC000088580100020010000000":
// tag 1 = PCM, 1 channel, 44100 Hz, 88200 bytes/s, block 2, 16 bits, no extra
// bytes; little-endian fields). Anything but consistent 8- or 16-bit PCM with
// one or two channels throws WaveError.
WaveFormat parseWaveFormat(const QString& hex);

}  // namespace quindra::pulse
