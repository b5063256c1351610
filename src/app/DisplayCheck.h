#pragma once

#include <QString>

namespace quindra {

// Whether the X display that DISPLAY names answers. A display that does not
// (its server gone, or started later than the program) would make Qt abort
// before the message ever went on air; the program runs without a window
// instead. Nothing when there is no X display to check or it answers; else
// what to tell the operator.
QString UnusableDisplay();

}  // namespace quindra
