#pragma once

#include <QString>
#include <QStringList>

#include "core/AppError.h"

namespace quindra {

class FolderListingError : public AppError {
public:
    using AppError::AppError;
};

// The plain files of the folder a path names (a path naming a file means its
// folder): no folders, no hidden files, ordered by name without regard to
// case in the locale's collation. Throws when the path names neither a folder
// nor a file.
QStringList FolderListing(const QString& path);

// The folder a listing path resolves to, with no trailing '/'.
QString ListedFolder(const QString& path);

// The folder joined to the listing's first name, or empty for an empty folder.
QString FirstFilePath(const QString& path);

}  // namespace quindra
