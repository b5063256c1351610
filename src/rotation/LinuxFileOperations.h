#pragma once

#include "rotation/FileOperations.h"

namespace quindra {

// File operations on POSIX calls, on the names' bytes; the reasons are the
// system's own.
class LinuxFileOperations final : public FileOperations {
public:
    void copy(const QString& from, const QString& to) override;
    void flushFile(const QString& path) override;
    void rename(const QString& from, const QString& to) override;
    void renameBytes(const QString& folder, const QByteArray& from, const QString& to) override;
    void remove(const QString& path) override;
    void makeFolder(const QString& path) override;
    void syncFolder(const QString& path) override;
    std::optional<FileStamp> stamp(const QString& path) const override;
    FolderEntries list(const QString& folder) const override;
    std::optional<QString> refusesWrites(const QString& folder) const override;
    int longestName(const QString& folder) const override;
    bool hasWriters(const QString& path) const override;
    bool sameContent(const QString& a, const QString& b) const override;
};

}  // namespace quindra
