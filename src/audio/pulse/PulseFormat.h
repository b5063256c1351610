#pragma once

#include <pulse/sample.h>

#include "ports/WaveControl.h"

namespace quindra::pulse {

// The sample format the server is asked for: 8-bit unsigned or 16-bit
// signed native-endian PCM.
pa_sample_spec sampleSpecOf(const WaveFormat& format);

// Throws WaveError unless the player can play the format: 8 or 16 bits, one
// or two channels, 1 to 192 kHz.
void requirePlayable(const WaveFormat& format);

}  // namespace quindra::pulse
