#include "app/SingleInstance.h"

#include <unistd.h>
#include <QDir>
#include <QFileInfo>

namespace quindra {

SingleInstance::SingleInstance() : lock_(std::make_unique<QLockFile>(lockFile())) {
    // Never stale by age: the program runs for days; a dead holder is still
    // detected by its process id.
    lock_->setStaleLockTime(0);
}

QString SingleInstance::lockFile() {
    // The session's runtime folder; a service without a session shares the
    // temporary folder, with the user in the name.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/quindra-espera.lock");
    return QDir::tempPath() + QStringLiteral("/quindra-espera-%1.lock").arg(::getuid());
}

bool SingleInstance::acquire() {
    return lock_->tryLock(0);
}

}  // namespace quindra
