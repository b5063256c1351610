#include "app/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace quindra {

SingleInstance::SingleInstance() : lock_(std::make_unique<QLockFile>(lockFile())) {
    // Never stale by age: the program runs for days; a dead holder is still
    // detected by its process id.
    lock_->setStaleLockTime(0);
}

QString SingleInstance::lockFile() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/quindra-espera.lock");
}

bool SingleInstance::acquire() {
    return lock_->tryLock(0);
}

}  // namespace quindra
