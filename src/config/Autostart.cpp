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

// A plain string value of the desktop entry format: backslashes and line
// breaks escaped.
QString stringValue(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    escaped.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    escaped.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return escaped;
}

}  // namespace

XdgAutostartFile::XdgAutostartFile(QString desktopFile, QString executablePath)
    : file_(std::move(desktopFile)), executable_(std::move(executablePath)) {}

QString XdgAutostartFile::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/quindra-espera.desktop");
}

bool XdgAutostartFile::set(bool on) {
    if (!on) {
        QFile f(file_);
        return !f.exists() || f.remove();
    }
    if (!QDir().mkpath(QFileInfo(file_).absolutePath()))
        return false;
    QSaveFile out(file_);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    // TryExec names the same binary, so that a session skips the entry once
    // the program has been removed instead of failing at every login.
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Quindra - VIZUDU\n"
                             "Comment=Mensagem de espera da central telefônica\n"
                             "Exec=%1\n"
                             "TryExec=%2\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n")
                             .arg(execArgument(executable_), stringValue(executable_));
    out.write(text.toUtf8());
    return out.commit();
}

}  // namespace quindra
