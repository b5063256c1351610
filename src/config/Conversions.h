#pragma once

#include <QChar>
#include <QString>
#include <optional>

namespace quindra {

class RegistryKey;
class LocaleFormats;

// Booleans are stored as "-1" and "0".
QString BoolText(bool b);

// The text-to-boolean rule: a decimal number (blanks around it, sign, the
// locale's decimal separator, exponent) is true when not zero; otherwise
// "True"/"False" in any case. Nothing for any other text.
std::optional<bool> TextToBool(const QString& text, QChar decimalSeparator);
// As TextToBool; throws "'%s' is not a valid boolean value".
bool StrToBool(const QString& text, QChar decimalSeparator);

// A decimal 32-bit integer with optional sign and blanks around it; throws
// "'%s' is not a valid integer value".
int StrToInt(const QString& text);
std::optional<int> TextToInt(const QString& text);
// A TCP port, 1 to 65535, written as for StrToInt. A number outside the range
// fails like a text that is no number: it is never wrapped into the range.
int StrToPort(const QString& text);

// Reads a boolean setting; a missing value reads as the empty text and fails.
bool ReadBoolSetting(RegistryKey& key, const QString& name, const LocaleFormats& formats);

}  // namespace quindra
