#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "core/AppError.h"

namespace quindra {

// A file operation the system refused, with its reason.
class FileError : public AppError {
public:
    using AppError::AppError;
};

struct FileStamp {
    std::int64_t size = 0;
    // Since the file's data or its entry last changed; negative when that
    // moment lies ahead of the clock (a clock set back).
    std::int64_t msSinceChange = 0;
};

// What the message swap does to files, behind a port so a test can make any
// step fail. Every failure throws FileError.
class FileOperations {
public:
    virtual ~FileOperations() = default;

    // Copies `from` into `to`, replacing a file there, and flushes it to the
    // disk. A copy that fails leaves nothing at `to`.
    virtual void copy(const QString& from, const QString& to) = 0;
    // Gives `from` the name `to` in one step, replacing a file there.
    virtual void rename(const QString& from, const QString& to) = 0;
    virtual void remove(const QString& path) = 0;
    // Creates the folder and any missing parent.
    virtual void makeFolder(const QString& path) = 0;
    // Nothing when there is no such file.
    virtual std::optional<FileStamp> stamp(const QString& path) const = 0;
};

}  // namespace quindra
