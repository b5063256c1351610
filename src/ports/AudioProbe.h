#pragma once

#include <QString>

namespace quindra {

// Answers, before a file goes on air, whether the player could play it.
class AudioProbe {
public:
    virtual ~AudioProbe() = default;
    // True when the file opens as audio and holds sound.
    virtual bool decodable(const QString& path) = 0;
};

}  // namespace quindra
