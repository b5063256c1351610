#pragma once

#include <QString>
#include <optional>

namespace quindra::pulse {

// The length of a sound file in milliseconds, from its header alone (no
// decoding); none when it does not open as sound or does not say.
std::optional<qint64> MessageLengthMs(const QString& path);

}  // namespace quindra::pulse
