#pragma once

#include <QStringList>

#include "core/MessageLog.h"

namespace quindra::testing {

// The status log's lines without date and time.
class FakeLog final : public MessageLog {
public:
    bool write(const QString& message) noexcept override {
        lines << message;
        return false;
    }
    QStringList lines;
};

}  // namespace quindra::testing
