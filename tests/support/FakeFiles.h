#pragma once

#include <QFileInfo>
#include <QHash>
#include <QStringList>

#include "ports/AudioProbe.h"
#include "rotation/LinuxFileOperations.h"

namespace quindra::testing {

// The real file operations, each of which a test can make fail as the
// system would: a full disk, a refused rename or deletion, a folder that
// cannot be made. A file's age can be set, as for one still being written.
class FakeFileOperations final : public FileOperations {
public:
    bool copyFails = false;  // as on a full disk; like the real copy, it leaves nothing
    bool renameFails = false;
    bool makeFolderFails = false;
    QStringList undeletable;                     // file names whose deletion is refused
    QHash<QString, std::int64_t> msSinceChange;  // by file name
    QStringList calls;

    void copy(const QString& from, const QString& to) override {
        calls << QStringLiteral("copy %1 %2").arg(name(from), name(to));
        if (copyFails)
            throw FileError(QStringLiteral("No space left on device"));
        real.copy(from, to);
    }
    void rename(const QString& from, const QString& to) override {
        calls << QStringLiteral("rename %1 %2").arg(name(from), name(to));
        if (renameFails)
            throw FileError(QStringLiteral("Permission denied"));
        real.rename(from, to);
    }
    void remove(const QString& path) override {
        calls << QStringLiteral("remove %1").arg(name(path));
        if (undeletable.contains(name(path)))
            throw FileError(QStringLiteral("Permission denied"));
        real.remove(path);
    }
    void makeFolder(const QString& path) override {
        calls << QStringLiteral("makeFolder %1").arg(name(path));
        if (makeFolderFails)
            throw FileError(QStringLiteral("Permission denied"));
        real.makeFolder(path);
    }
    std::optional<FileStamp> stamp(const QString& path) const override {
        auto s = real.stamp(path);
        // Files the test made count as long settled unless it says otherwise.
        if (s)
            s->msSinceChange = msSinceChange.value(name(path), 60000);
        return s;
    }

    LinuxFileOperations real;

private:
    static QString name(const QString& path) { return QFileInfo(path).fileName(); }
};

// Files named in `undecodable` cannot be played, those in `silent` hold no
// sound; every other one can be played.
class FakeAudioProbe final : public AudioProbe {
public:
    bool decodable(const QString& path) override {
        probed << QFileInfo(path).fileName();
        return !undecodable.contains(QFileInfo(path).fileName()) &&
               !silent.contains(QFileInfo(path).fileName());
    }
    Verdict examine(const QString& path) override {
        if (silent.contains(QFileInfo(path).fileName()))
            return Verdict::Silent;
        return decodable(path) ? Verdict::Playable : Verdict::Undecodable;
    }
    QStringList undecodable;
    QStringList silent;  // files that decode to silence only
    QStringList probed;
};

}  // namespace quindra::testing
