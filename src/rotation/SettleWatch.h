#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include "rotation/FileOperations.h"

namespace quindra {

// Tells a file that has stood still from one still being written: a file is
// settled once its size, times and inode are what the previous look saw.
// Times are only compared, never measured against a clock, so a writer that
// stalls on a network share or a clock set ahead or back changes nothing.
class SettleWatch {
public:
    enum class State {
        New,      // not seen by the previous look
        Changed,  // seen, but something changed since
        Settled,
    };

    // Starts a look: the files looked at until the next begin are what the
    // next look compares with.
    void begin() {
        previous_ = std::move(current_);
        current_.clear();
    }
    State look(const QString& path, const FileStamp& stamp) {
        current_.insert(path, stamp);
        const auto before = previous_.constFind(path);
        if (before == previous_.constEnd())
            return State::New;
        return *before == stamp ? State::Settled : State::Changed;
    }

private:
    QHash<QString, FileStamp> previous_;
    QHash<QString, FileStamp> current_;
};

// Files that could not be handled (moved aside, renamed into place, deleted
// after their swap): each is passed over until it changes, so that it is
// reported once and never makes the watch try, and stop the message, again
// at every check.
class PassedOverFiles {
public:
    void add(const QString& path, const FileStamp& stamp) { files_.insert(path, stamp); }
    // True while the file is the one that was passed over, unchanged.
    bool contains(const QString& path, const FileStamp& stamp) const {
        const auto it = files_.constFind(path);
        return it != files_.constEnd() && *it == stamp;
    }
    // Forgets the files that are gone.
    void keepOnly(const QSet<QString>& present) {
        for (auto it = files_.begin(); it != files_.end();)
            it = present.contains(it.key()) ? std::next(it) : files_.erase(it);
    }

private:
    QHash<QString, FileStamp> files_;
};

}  // namespace quindra
