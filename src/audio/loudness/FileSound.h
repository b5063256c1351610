#pragma once

#include <QString>
#include <atomic>

#include "audio/loudness/SoundFigures.h"
#include "ports/WaveControl.h"

namespace quindra::loudness {

// Decodes the file as the player does, in `format`'s rate and mixed down to
// mono the same way, and measures what the line will carry. Throws WaveError
// when the file cannot be decoded, or when `stop` is set on the way. Reads the
// whole file: never on the UI thread.
SoundFigures MeasureFile(const QString& path, const WaveFormat& format = kHoldMessageFormat,
                         const std::atomic<bool>* stop = nullptr);

}  // namespace quindra::loudness
