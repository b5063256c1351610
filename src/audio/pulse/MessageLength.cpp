#include "audio/pulse/MessageLength.h"

#include <sndfile.h>

#include <QFile>
#include <memory>

namespace quindra::pulse {

std::optional<qint64> MessageLengthMs(const QString& path) {
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file(
        sf_open(QFile::encodeName(path).constData(), SFM_READ, &info), &sf_close);
    if (!file || info.samplerate <= 0 || info.frames <= 0 || info.frames == SF_COUNT_MAX)
        return std::nullopt;
    return static_cast<qint64>(info.frames * 1000 / info.samplerate);
}

}  // namespace quindra::pulse
