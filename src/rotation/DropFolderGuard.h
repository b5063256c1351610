#pragma once

#include <QString>
#include <optional>

namespace quindra {

class FileOperations;
struct Paths;

// Decides whether a folder may serve as the drop folder, whose files the
// watch moves and deletes: never the program's own folders or a folder that
// holds them, never a system folder, never the user's home folder itself.
// Folders are compared by identity (device and inode), so an alias, a bind
// mount or another letter case on a case-insensitive file system is the
// folder it names.
class DropFolderGuard {
public:
    DropFolderGuard(const FileOperations& files, const Paths& paths);

    // Why the folder is refused, completing "... não pode ser usada porque";
    // nothing when it may be used.
    std::optional<QString> refusal(const QString& folder) const;

private:
    const FileOperations& files_;
    const Paths& paths_;
};

}  // namespace quindra
