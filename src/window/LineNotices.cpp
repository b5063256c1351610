#include "window/LineNotices.h"

namespace quindra {

void LineNotices::lineChanged(const LineState& line) {
    if (line.onAir) {
        if (offAirTold_)
            sender_.send(BackOnAirNotice(line));
        offAirTold_ = false;
        wasOnAir_ = true;
        return;
    }
    if (line.onPurpose || !wasOnAir_ || offAirTold_)
        return;
    sender_.send(OffAirNotice(line));
    offAirTold_ = true;
}

}  // namespace quindra
