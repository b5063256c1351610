#pragma once

#include <QString>

namespace quindra {

// The operator's running account, which every subsystem writes to.
class MessageLog {
public:
    virtual ~MessageLog() = default;
    // Appends one time-stamped line. Never throws; true when the line was
    // dropped.
    virtual bool write(const QString& message) noexcept = 0;
};

}  // namespace quindra
