#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <optional>

namespace quindra {

class FileOperations;

// Orders file names as the operator reads them: ascending, letter case
// ignored, in the collation of the operator's locale (the one the dates and
// numbers follow). Names that differ only in case keep one fixed order.
void SortByName(QStringList& names, const QLocale& locale);

// The visible plain files of a folder, in name order. Throws FileError when
// the folder cannot be read.
QStringList FolderListing(const FileOperations& files, const QString& folder,
                          const QLocale& locale);

// The folder a setting's path means: the folder it names, or the folder of
// the file it names (with no trailing '/', but "/" itself). Nothing when it
// names neither, or is relative.
std::optional<QString> ListedFolder(const FileOperations& files, const QString& path);

// `name` inside `folder`.
QString Joined(const QString& folder, const QString& name);

}  // namespace quindra
