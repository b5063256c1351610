#include "rotation/FolderListing.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace quindra {

QString ListedFolder(const QString& path) {
    const QFileInfo info(path);
    if (!path.isEmpty() && info.isDir())
        return QDir::cleanPath(info.absoluteFilePath());
    if (!path.isEmpty() && info.isFile())
        return QDir::cleanPath(info.absolutePath());
    throw FolderListingError(QStringLiteral("Pasta não encontrada: %1").arg(path));
}

QStringList FolderListing(const QString& path) {
    const QDir dir(ListedFolder(path));
    // Files only: QDir::Files leaves out folders, and without QDir::Hidden the
    // dot files; symbolic links to files count as files.
    QStringList names = dir.entryList(QDir::Files, QDir::NoSort);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const QString& n) {
                                   const QFileInfo fi(dir.filePath(n));
                                   return !fi.isFile() || n.startsWith(QLatin1Char('.'));
                               }),
                names.end());
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        const int c = collator.compare(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

QString FirstFilePath(const QString& path) {
    const QStringList names = FolderListing(path);
    if (names.isEmpty())
        return {};
    // The root folder already ends with the separator.
    const QString folder = ListedFolder(path);
    return folder.endsWith(QLatin1Char('/')) ? folder + names.front()
                                             : folder + QLatin1Char('/') + names.front();
}

}  // namespace quindra
