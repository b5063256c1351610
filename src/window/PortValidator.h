#pragma once

#include <QValidator>

namespace quindra {

// The "Porta" field takes a TCP port only: digits, 1 to 65535, no leading
// zero. An empty field is allowed while typing; it stores nothing, and the
// port stored before stays in use.
class PortValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

}  // namespace quindra
