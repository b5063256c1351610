#pragma once

#include <QString>

#include "audio/LineStatus.h"

namespace quindra {

// Every text that tells the operator the line's state, in one place.

// The short phrase after "Fora do ar · ".
QString OffAirPhrase(OffAirReason reason);
// A length as minutes and seconds, "m:ss", to the nearest second.
QString DurationText(qint64 ms);
// The main page's band: "No ar · NAME · m:ss" or "Fora do ar · REASON".
QString LineText(const LineState& line);
// The tray icon's tooltip: the band's text, and off air the message that
// would be on.
QString LineToolTip(const LineState& line);

// A desktop notification's title and body.
struct DesktopNotice {
    QString summary;
    QString body;
    bool urgent = false;
};
DesktopNotice OffAirNotice(const LineState& line);
DesktopNotice BackOnAirNotice(const LineState& line);

}  // namespace quindra
