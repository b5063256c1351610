#include "hardware/DeviceName.h"

namespace quindra {

QStringView LastWord(QStringView text, QStringView delimiters) {
    qsizetype end = text.size();
    while (end > 0 && delimiters.contains(text[end - 1]))
        --end;
    qsizetype begin = end;
    while (begin > 0 && !delimiters.contains(text[begin - 1]))
        --begin;
    return text.mid(begin, end - begin);
}

bool IsHoldDeviceName(const QString& name) {
    QString word = LastWord(name, u" ").toString();
    word.remove(QLatin1Char(')'));
    word.remove(QLatin1Char('('));
    return word == QLatin1String(kHoldToken);
}

}  // namespace quindra
