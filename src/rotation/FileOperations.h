#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "core/AppError.h"

namespace quindra {

// A file operation the system refused, with its reason.
class FileError : public AppError {
public:
    using AppError::AppError;
};

// What the file system says of a path (symbolic links followed).
struct FileStamp {
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;  // data last written (can be set back by any copier)
    std::int64_t changedNs = 0;   // entry last changed; no program can set it back
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool folder = false;

    // The same file or folder, whatever name reaches it (an alias, a bind
    // mount, another letter case on a case-insensitive file system).
    bool sameFileAs(const FileStamp& o) const { return device == o.device && inode == o.inode; }
    // Nothing about the file changed: a writer that is still busy, or one
    // that put another file in its place, shows here.
    bool operator==(const FileStamp& o) const = default;
};

// The visible plain files of a folder, unsorted. Names that are not valid
// UTF-8 cannot be held as text; they come apart, as their bytes.
struct FolderEntries {
    QStringList names;
    QList<QByteArray> undecodableNames;
    QStringList hiddenNames;  // plain files whose names start with a dot
};

// What the message swap does to files, behind a port so a test can make any
// step fail. Every failure throws FileError.
class FileOperations {
public:
    virtual ~FileOperations() = default;

    // Copies `from` into `to`, replacing a file there. A copy that fails
    // leaves nothing at `to`.
    virtual void copy(const QString& from, const QString& to) = 0;
    // Writes the file's data to the disk (a write that could not be done
    // shows here, as on a full disk).
    virtual void flushFile(const QString& path) = 0;
    // Gives `from` the name `to` in one step, replacing a file there.
    virtual void rename(const QString& from, const QString& to) = 0;
    // As rename, for a file of `folder` whose name is not valid UTF-8.
    virtual void renameBytes(const QString& folder, const QByteArray& from, const QString& to) = 0;
    virtual void remove(const QString& path) = 0;
    // Creates the folder and any missing parent.
    virtual void makeFolder(const QString& path) = 0;
    // Makes the folder's entries (a rename, a deletion) durable.
    virtual void syncFolder(const QString& path) = 0;
    // Nothing when there is no such file or folder.
    virtual std::optional<FileStamp> stamp(const QString& path) const = 0;
    // Plain visible files (no folders, no dot files, nothing that is not a
    // regular file once links are followed), and apart the plain files whose
    // names start with a dot. Throws when the folder cannot be read.
    virtual FolderEntries list(const QString& folder) const = 0;
    // Why no file can be created in the folder (read-only, no permission), or
    // nothing when one can.
    virtual std::optional<QString> refusesWrites(const QString& folder) const = 0;
    // The longest file name, in bytes, the folder's file system takes.
    virtual int longestName(const QString& folder) const = 0;
    // True while another program holds the file open for writing (a copy
    // that stalled is still open); false when none does, or when the file
    // system cannot tell.
    virtual bool hasWriters(const QString& path) const = 0;
    // True when both files hold the same bytes; false when either cannot be
    // read.
    virtual bool sameContent(const QString& a, const QString& b) const = 0;
};

}  // namespace quindra
