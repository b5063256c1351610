#include "audio/loudness/MessageSoundCheck.h"

#include <QFileInfo>
#include <algorithm>

#include "audio/loudness/SoundVerdict.h"
#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "ports/WaveControl.h"

namespace quindra::loudness {

namespace {

// Files measured in the drop folder and not taken yet; the oldest go first.
constexpr int kMostRemembered = 32;

}  // namespace

MessageSoundCheck::MessageSoundCheck(Ports ports)
    : p_(std::move(ports)),
      analyser_(p_.loop, p_.measure, [this](const SoundAnalyser::Result& r) { finished(r); }) {}

void MessageSoundCheck::dropped(const QString& path, const Version& version) {
    ++looks_;
    auto it = dropped_.find(path);
    if (it != dropped_.end() && it->version == version) {
        it->seenAt = looks_;
        return;
    }
    if (it == dropped_.end() && dropped_.size() >= kMostRemembered)
        forgetOldest();
    dropped_.insert(path, Measured{version, analyser_.request(path), std::nullopt, {}, looks_});
}

void MessageSoundCheck::startedWith(const QString& path) {
    linesOwed_ = false;
    onAirTicket_ = path.isEmpty() ? 0 : analyser_.request(path);
}

void MessageSoundCheck::swapped() {
    const QString target = p_.onAir.file;
    const QFileInfo onAir(target);
    // The copy on air has the dropped file's name and length; its measure is
    // the one of the state the swap took, unless that state is still being
    // measured.
    const Measured* found = nullptr;
    QString foundPath;
    for (auto it = dropped_.cbegin(); it != dropped_.cend(); ++it) {
        if (QFileInfo(it.key()).fileName() == onAir.fileName() &&
            it->version.size == onAir.size() && (!found || it->seenAt > found->seenAt)) {
            found = &it.value();
            foundPath = it.key();
        }
    }
    if (found && (found->figures || !found->error.isEmpty())) {
        const Measured measured = *found;
        dropped_.remove(foundPath);
        onAirTicket_ = 0;
        linesOwed_ = false;
        announce(measured.figures, measured.error);
        giveGain(target, measured.figures);
        return;
    }
    if (found)
        dropped_.remove(foundPath);
    // Not measured yet: the swap goes on, and the message plays as it is
    // until its figures are known.
    giveGain(target, std::nullopt);
    p_.onAir.soundNotes = QStringList{AnalysisPendingLine()};
    onAirTicket_ = analyser_.request(target);
    linesOwed_ = true;
}

void MessageSoundCheck::finished(const SoundAnalyser::Result& result) {
    for (auto it = dropped_.begin(); it != dropped_.end(); ++it) {
        if (it->ticket == result.ticket) {
            it->figures = result.figures;
            it->error = result.error.isEmpty() && !result.figures ? QStringLiteral("sem resultado")
                                                                  : result.error;
            return;
        }
    }
    if (result.ticket != onAirTicket_)
        return;
    onAirTicket_ = 0;
    if (std::exchange(linesOwed_, false))
        announce(result.figures, result.error);
    giveGain(result.path, result.figures);
}

// The lines that follow the swap's, and the same lines for its notice.
void MessageSoundCheck::announce(const std::optional<SoundFigures>& figures, const QString& error) {
    QStringList lines;
    if (figures) {
        lines << FiguresLine(*figures);
        const QString warning = WarningLine(*figures);
        if (!warning.isEmpty())
            lines << warning;
    } else {
        lines << AnalysisFailedLine(error);
    }
    for (const QString& line : lines)
        p_.log.write(line);
    p_.onAir.soundNotes = lines;
}

void MessageSoundCheck::giveGain(const QString& path, const std::optional<SoundFigures>& figures) {
    p_.player.setFileGain(
        path, figures ? std::optional<double>(LevellingGainDb(*figures)) : std::nullopt);
}

void MessageSoundCheck::forgetOldest() {
    auto oldest = dropped_.begin();
    for (auto it = dropped_.begin(); it != dropped_.end(); ++it) {
        if (it->seenAt < oldest->seenAt)
            oldest = it;
    }
    if (oldest != dropped_.end())
        dropped_.erase(oldest);
}

}  // namespace quindra::loudness
