#include "config/Autostart.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace quindra {

namespace {

// Exec= quoting of the desktop entry format: the path in double quotes with
// ", `, $ and \ escaped, then every \ escaped again as the string rules ask,
// and % doubled.
QString execArgument(const QString& path) {
    QString quoted;
    for (QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('%'), QLatin1String("%%"));
    return quoted;
}

}  // namespace

XdgAutostartFile::XdgAutostartFile(QString desktopFile, QString executablePath)
    : file_(std::move(desktopFile)), executable_(std::move(executablePath)) {}

QString XdgAutostartFile::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/quindra-espera.desktop");
}

bool XdgAutostartFile::apply(const QString& entry) {
    if (entry.isEmpty()) {
        QFile f(file_);
        return !f.exists() || f.remove();
    }
    if (!QDir().mkpath(QFileInfo(file_).absolutePath()))
        return false;
    QSaveFile out(file_);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Quindra - VIZUDU\n"
                             "Comment=Mensagem de espera da central telefônica\n"
                             "Exec=%1\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n")
                             .arg(execArgument(executable_));
    out.write(text.toUtf8());
    return out.commit();
}

}  // namespace quindra
