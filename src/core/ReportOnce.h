#pragma once

#include <QString>

#include "core/MessageLog.h"

namespace quindra {

// A condition that lasts is told once: a line goes to the log only when it
// differs from the last one written through this reporter. Clearing it once
// the condition has passed lets the same line be told again when it returns.
class ReportOnce {
public:
    explicit ReportOnce(MessageLog& log) : log_(log) {}

    void write(const QString& line) {
        if (line == last_)
            return;
        last_ = line;
        log_.write(line);
    }
    void clear() { last_.clear(); }

private:
    MessageLog& log_;
    QString last_;
};

}  // namespace quindra
