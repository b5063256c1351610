#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace quindra {

// One running program per user session: a lock held for the life of the
// process. A lock left by a process that died is taken over.
class SingleInstance {
public:
    SingleInstance();
    // False when another instance holds the lock.
    bool acquire();
    static QString lockFile();

private:
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace quindra
