#include "rotation/FolderListing.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "rotation/FileOperations.h"

namespace quindra {

void SortByName(QStringList& names, const QLocale& locale) {
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        const int c = collator.compare(a, b);
        return c != 0 ? c < 0 : a < b;
    });
}

QStringList FolderListing(const FileOperations& files, const QString& folder,
                          const QLocale& locale) {
    QStringList names = files.list(folder).names;
    SortByName(names, locale);
    return names;
}

std::optional<QString> ListedFolder(const FileOperations& files, const QString& path) {
    // A relative path would mean whatever folder the program was started in.
    if (path.isEmpty() || QDir::isRelativePath(path))
        return std::nullopt;
    const QFileInfo info(path);
    const auto stamp = files.stamp(path);
    if (!stamp)
        return std::nullopt;
    return QDir::cleanPath(stamp->folder ? info.absoluteFilePath() : info.absolutePath());
}

QString Joined(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

}  // namespace quindra
