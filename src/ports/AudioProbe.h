#pragma once

#include <QString>

namespace quindra {

// Answers, before a file goes on air, whether the player could play it.
class AudioProbe {
public:
    enum class Verdict {
        Playable,
        Undecodable,  // not audio, cut short, or broken somewhere in it
        Silent,       // decodes, but to digital silence from start to end
    };

    virtual ~AudioProbe() = default;
    // True when the file opens as audio and holds sound.
    virtual bool decodable(const QString& path) = 0;
    // Tells an undecodable file from one that only holds silence.
    virtual Verdict examine(const QString& path) {
        return decodable(path) ? Verdict::Playable : Verdict::Undecodable;
    }
};

}  // namespace quindra
