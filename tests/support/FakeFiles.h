#pragma once

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <functional>
#include <optional>

#include "ports/AudioProbe.h"
#include "rotation/LinuxFileOperations.h"

namespace quindra::testing {

// The real file operations, each of which a test can make fail as the
// system would: a full disk, a refused rename or deletion, a folder that
// cannot be made, read or written, a short name limit. A folder can be made
// case-insensitive (as on vfat or CIFS), and a path can be an alias of
// another (as a bind mount is). Nothing is ever changed outside `confinedTo`
// when it is set: such a change is refused and recorded, so a test that
// points the watch at a system folder cannot harm it, even as root.
class FakeFileOperations final : public FileOperations {
public:
    bool copyFails = false;  // as on a full disk; like the real copy, it leaves nothing
    bool renameFails = false;
    bool flushFails = false;  // as a disk whose delayed writes fail
    bool makeFolderFails = false;
    bool renameBytesFails = false;
    QStringList undeletable;          // file names whose deletion is refused
    QStringList unrenamable;          // file names that cannot be moved or renamed
    QStringList unreadable;           // folders that cannot be listed
    QStringList readOnly;             // folders that take no new file
    QStringList caseFolding;          // folders whose names ignore letter case
    QStringList writing;              // file names another program holds open for writing
    QHash<QString, QString> aliases;  // a path and the real path it reaches
    int longestNameInBytes = 0;       // 0: the file system's own
    QString confinedTo;
    QStringList outside;  // changes refused because they were outside confinedTo
    std::function<void(const QString& from)> duringCopy;
    QStringList calls;

    void copy(const QString& from, const QString& to) override {
        calls << QStringLiteral("copy %1 %2").arg(name(from), name(to));
        confine(to);
        if (copyFails)
            throw FileError(QStringLiteral("No space left on device"));
        refuseReadOnly(to);
        real.copy(resolve(from), resolve(to));
        if (duringCopy)
            duringCopy(from);
    }
    void flushFile(const QString& path) override {
        calls << QStringLiteral("flushFile %1").arg(name(path));
        if (flushFails)
            throw FileError(QStringLiteral("Input/output error"));
        real.flushFile(resolve(path));
    }
    void rename(const QString& from, const QString& to) override {
        calls << QStringLiteral("rename %1 %2").arg(name(from), name(to));
        confine(from);
        confine(to);
        if (renameFails || unrenamable.contains(name(from)))
            throw FileError(QStringLiteral("Permission denied"));
        refuseReadOnly(to);
        // A case-insensitive folder has one entry for both spellings: the
        // file that holds the other spelling is the one replaced. As on vfat,
        // whose file numbers come from the entry's place, the new file then
        // shows the number the replaced one had.
        const QString target = resolve(to);
        std::optional<FileStamp> replaced;
        if (target != to) {
            replaced = real.stamp(target);
            real.remove(target);
        }
        real.rename(resolve(from), to);
        if (const auto renamed = real.stamp(to); replaced && renamed)
            reusedInodes.insert(renamed->inode, replaced->inode);
    }
    void renameBytes(const QString& folder, const QByteArray& from, const QString& to) override {
        calls << QStringLiteral("renameBytes %1").arg(name(to));
        confine(to);
        if (renameBytesFails)
            throw FileError(QStringLiteral("Permission denied"));
        real.renameBytes(resolve(folder), from, resolve(to));
    }
    void remove(const QString& path) override {
        calls << QStringLiteral("remove %1").arg(name(path));
        confine(path);
        if (undeletable.contains(name(path)))
            throw FileError(QStringLiteral("Permission denied"));
        real.remove(resolve(path));
    }
    void makeFolder(const QString& path) override {
        calls << QStringLiteral("makeFolder %1").arg(name(path));
        confine(path);
        if (makeFolderFails)
            throw FileError(QStringLiteral("Permission denied"));
        real.makeFolder(resolve(path));
    }
    void syncFolder(const QString& path) override {
        calls << QStringLiteral("syncFolder %1").arg(name(path));
        real.syncFolder(resolve(path));
    }
    std::optional<FileStamp> stamp(const QString& path) const override {
        auto found = real.stamp(resolve(path));
        if (found)
            found->inode = reusedInodes.value(found->inode, found->inode);
        return found;
    }
    FolderEntries list(const QString& folder) const override {
        if (unreadable.contains(QDir::cleanPath(folder)))
            throw FileError(QStringLiteral("Permission denied"));
        return real.list(resolve(folder));
    }
    std::optional<QString> refusesWrites(const QString& folder) const override {
        if (readOnly.contains(QDir::cleanPath(folder)))
            return QStringLiteral("Read-only file system");
        return real.refusesWrites(resolve(folder));
    }
    bool sameContent(const QString& a, const QString& b) const override {
        return real.sameContent(resolve(a), resolve(b));
    }
    bool hasWriters(const QString& path) const override {
        return writing.contains(name(path)) || real.hasWriters(resolve(path));
    }
    int longestName(const QString& folder) const override {
        return longestNameInBytes > 0 ? longestNameInBytes : real.longestName(resolve(folder));
    }

    // The path the real file system knows.
    QString resolve(const QString& path) const {
        QString p = QDir::cleanPath(path);
        for (auto it = aliases.cbegin(); it != aliases.cend(); ++it) {
            if (p == it.key() || p.startsWith(it.key() + QLatin1Char('/')))
                p = it.value() + p.mid(it.key().size());
        }
        const QFileInfo info(p);
        if (!caseFolding.contains(info.absolutePath()) || info.exists())
            return p;
        const QDir dir(info.absolutePath());
        for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System)) {
            if (entry.compare(info.fileName(), Qt::CaseInsensitive) == 0)
                return dir.filePath(entry);
        }
        return p;
    }

    LinuxFileOperations real;
    QHash<std::uint64_t, std::uint64_t> reusedInodes;  // a file's number and the one it shows

private:
    static QString name(const QString& path) { return QFileInfo(path).fileName(); }

    void confine(const QString& path) {
        if (confinedTo.isEmpty() || QDir::cleanPath(path).startsWith(confinedTo + QLatin1Char('/')))
            return;
        outside << path;
        throw FileError(QStringLiteral("outside the test's folder"));
    }
    void refuseReadOnly(const QString& to) const {
        if (readOnly.contains(QFileInfo(QDir::cleanPath(to)).absolutePath()))
            throw FileError(QStringLiteral("Read-only file system"));
    }
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
        if (onExamine)
            onExamine(path);
        if (const auto it = verdicts.constFind(QFileInfo(path).fileName());
            it != verdicts.constEnd())
            return *it;
        if (silent.contains(QFileInfo(path).fileName()))
            return Verdict::Silent;
        return decodable(path) ? Verdict::Playable : Verdict::Undecodable;
    }
    QStringList undecodable;
    QStringList silent;                // files that decode to silence only
    QHash<QString, Verdict> verdicts;  // any other verdict, by file name
    QStringList probed;
    std::function<void(const QString& path)> onExamine;  // runs as a file is read
};

}  // namespace quindra::testing
