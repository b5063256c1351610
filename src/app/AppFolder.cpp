#include "app/AppFolder.h"

#include <QDir>

namespace quindra {

namespace {

QString withSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

bool underUsr(const QString& dir) {
    const QString clean = QDir::cleanPath(dir);
    return clean == QStringLiteral("/usr") || clean.startsWith(QStringLiteral("/usr/"));
}

}  // namespace

QString AppFolder(const QString& executableDir, const QString& quindraHome,
                  const QString& dataHome) {
    if (!quindraHome.isEmpty())
        return withSlash(QDir(quindraHome).absolutePath());
    if (underUsr(executableDir))
        return withSlash(QDir::cleanPath(dataHome + QStringLiteral("/quindra")));
    return withSlash(executableDir);
}

}  // namespace quindra
