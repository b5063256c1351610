#pragma once

#include <QString>
#include <optional>

namespace quindra {

class FileOperations;
struct Paths;

// Decides whether a folder may serve as the drop folder, whose files the
// watch moves and deletes: never a folder of the program's own files or one
// that holds them, never the system's folders, never a home folder itself
// or another user's, never a relative path (it would mean whatever folder
// the program was started in). Folders are compared by identity (device and
// inode), so an alias, a link, a bind mount or another letter case on a
// case-insensitive file system is the folder it names. A folder that does
// not exist yet is judged by the folders above it.
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
