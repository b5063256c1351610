#include "hardware/DeviceName.h"

namespace quindra {

QByteArray LastWord(const QByteArray& text, const QByteArray& delimiters) {
    qsizetype end = text.size();
    while (end > 0 && delimiters.contains(text[end - 1]))
        --end;
    qsizetype begin = end;
    while (begin > 0 && !delimiters.contains(text[begin - 1]))
        --begin;
    return text.mid(begin, end - begin);
}

QByteArray AnsiText(const QString& name) {
    return name.toLatin1();
}

bool IsHoldDeviceName(const QString& name, int windowsGeneration) {
    if (windowsGeneration != 5)
        return name == QLatin1String(kHoldToken);
    QByteArray word = LastWord(AnsiText(name), QByteArrayLiteral(" "));
    word.replace(')', QByteArray());
    word.replace('(', QByteArray());
    return word == kHoldToken;
}

}  // namespace quindra
