#pragma once

#include <QString>
#include <QStringView>

namespace quindra {

// The name token of the hold hardware's capture device.
inline constexpr char kHoldToken[] = "Q-ZORBE";

// The last word of a text: words are runs of characters that are not
// delimiters; empty when there is none.
QStringView LastWord(QStringView text, QStringView delimiters);

// Whether a capture device is the hold hardware: the last blank-separated
// word, without parentheses, is the token ("Microfone (Q-ZORBE)",
// "Microfone (2- Q-ZORBE)").
bool IsHoldDeviceName(const QString& name);

}  // namespace quindra
