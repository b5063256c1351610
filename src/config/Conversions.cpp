#include "config/Conversions.h"

#include <QRegularExpression>

#include "config/RegistryKey.h"
#include "core/LocaleFormats.h"

namespace quindra {

QString BoolText(bool b) {
    return b ? QStringLiteral("-1") : QStringLiteral("0");
}

std::optional<bool> TextToBool(const QString& text, QChar decimalSeparator) {
    const QString sep = QRegularExpression::escape(QString(decimalSeparator));
    const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(?:([0-9]+)(?:%1([0-9]*))?|%1([0-9]+))(?:[eE][+-]?[0-9]+)?\\s*$")
            .arg(sep));
    const auto m = number.match(text);
    if (m.hasMatch()) {
        // The exponent cannot make a non-zero mantissa zero (or the reverse),
        // so the digits alone decide.
        const QString digits = m.captured(1) + m.captured(2) + m.captured(3);
        for (QChar c : digits)
            if (c != QLatin1Char('0'))
                return true;
        return false;
    }
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

bool StrToBool(const QString& text, QChar decimalSeparator) {
    if (auto b = TextToBool(text, decimalSeparator))
        return *b;
    throw ConfigError(QStringLiteral("'%1' is not a valid boolean value").arg(text));
}

std::optional<int> TextToInt(const QString& text) {
    static const QRegularExpression integer(QStringLiteral("^\\s*[+-]?[0-9]+\\s*$"));
    if (!integer.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int n = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return n;
}

int StrToInt(const QString& text) {
    if (auto n = TextToInt(text))
        return *n;
    throw ConfigError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

int StrToPort(const QString& text) {
    const std::optional<int> n = TextToInt(text);
    if (!n || *n < 1 || *n > 65535)
        throw ConfigError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return *n;
}

bool ReadBoolSetting(RegistryKey& key, const QString& name, const LocaleFormats& formats) {
    return StrToBool(key.readString(name), formats.decimalSeparator());
}

}  // namespace quindra
