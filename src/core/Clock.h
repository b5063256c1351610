#pragma once

#include <QDateTime>

namespace quindra {

// Local wall-clock time, behind a port so tests can set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

}  // namespace quindra
