#pragma once

#include "rotation/FileOperations.h"

namespace quindra {

// File operations on POSIX calls; the reasons are the system's own.
class LinuxFileOperations final : public FileOperations {
public:
    void copy(const QString& from, const QString& to) override;
    void rename(const QString& from, const QString& to) override;
    void remove(const QString& path) override;
    void makeFolder(const QString& path) override;
    std::optional<FileStamp> stamp(const QString& path) const override;
};

}  // namespace quindra
