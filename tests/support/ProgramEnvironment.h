#pragma once

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

namespace quindra::testing {

// Makes the folders the program's environment names in `home`; the runtime
// folder private to its user, as XDG asks.
inline bool MakeProgramHome(const QDir& home) {
    for (const char* d : {"app/Audio", "home", "config", "runtime"}) {
        if (!home.mkpath(QString::fromLatin1(d)))
            return false;
    }
    return QFile::setPermissions(
        home.filePath(QStringLiteral("runtime")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// The environment the real program runs in under a test: no display, and
// every folder it touches inside `home` (app/ with Audio/, home/, config/,
// runtime/, the settings store registry.db), in the operator's locale. Its
// single-instance guards are named for `home`: programs of tests that run side
// by side, each on its own virtual hold device, do not meet.
inline QProcessEnvironment ProgramEnvironment(const QDir& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("QUINDRA_HOME"), home.filePath(QStringLiteral("app")));
    env.insert(QStringLiteral("QUINDRA_REGISTRY"), home.filePath(QStringLiteral("registry.db")));
    env.insert(QStringLiteral("HOME"), home.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("QUINDRA_INSTANCE_TAG"),
               QString::fromLatin1(
                   QCryptographicHash::hash(home.absolutePath().toUtf8(), QCryptographicHash::Sha1)
                       .toHex()
                       .left(16)));
    env.insert(QStringLiteral("LANG"), QStringLiteral("pt_BR.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("pt_BR.UTF-8"));
    return env;
}

}  // namespace quindra::testing
