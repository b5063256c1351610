#pragma once

#include <QDateTime>

#include "core/Clock.h"

namespace quindra::testing {

// A clock the test sets; each read may move it by a step.
class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime t) : now_(std::move(t)) {}
    QDateTime now() const override {
        const QDateTime t = now_;
        now_ = now_.addMSecs(stepMs);
        return t;
    }
    void set(QDateTime t) { now_ = std::move(t); }
    qint64 stepMs = 0;

private:
    mutable QDateTime now_;
};

}  // namespace quindra::testing
