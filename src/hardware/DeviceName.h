#pragma once

#include <QByteArray>
#include <QString>

namespace quindra {

// The name token of the hold hardware's capture device.
inline constexpr char kHoldToken[] = "Q-ZORBE";

// On generations other than 5 the device loops pause this long between
// devices, with the window kept alive.
inline constexpr int kPauseBetweenDevicesMs = 500;

// The last word of an 8-bit text: words are runs of characters that are not
// delimiters; empty when there is none.
QByteArray LastWord(const QByteArray& text, const QByteArray& delimiters);

// A device name as 8-bit text in the system's legacy code page (Latin-1);
// characters it cannot hold become '?'.
QByteArray AnsiText(const QString& name);

// Whether a capture device is the hold hardware. On generation 5 the relaxed
// form: the last blank-separated word without parentheses is the token
// ("Microfone (Q-ZORBE)"); on any other generation the whole name must be it.
bool IsHoldDeviceName(const QString& name, int windowsGeneration);

}  // namespace quindra
