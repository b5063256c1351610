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
        BadRate,      // a sampling rate no player converts in real time
        TooShort,     // too short to be heard as a message
    };
    // The sampling rates a message may have, in Hz.
    static constexpr int kLowestRate = 8000;
    static constexpr int kHighestRate = 192000;
    // The shortest message, in milliseconds.
    static constexpr int kShortestMs = 500;

    virtual ~AudioProbe() = default;
    // True when the file opens as audio and holds sound.
    virtual bool decodable(const QString& path) = 0;
    // Tells an undecodable file from one that only holds silence.
    virtual Verdict examine(const QString& path) {
        return decodable(path) ? Verdict::Playable : Verdict::Undecodable;
    }
};

}  // namespace quindra
