#include "window/PortValidator.h"

namespace quindra {

QValidator::State PortValidator::validate(QString& input, int&) const {
    if (input.isEmpty())
        return Intermediate;
    if (input.size() > 5 || input.front() == QLatin1Char('0'))
        return Invalid;
    for (const QChar c : input)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return Invalid;
    return input.toInt() <= 65535 ? Acceptable : Invalid;
}

}  // namespace quindra
