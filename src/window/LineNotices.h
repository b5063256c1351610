#pragma once

#include "audio/LineStatus.h"
#include "window/LineTexts.h"

namespace quindra {

// Hands a notification to the desktop. It must return at once, whether or
// not anything shows it.
class NoticeSender {
public:
    virtual ~NoticeSender() = default;
    virtual void send(const DesktopNotice& notice) = 0;
};

// Decides which changes of the line are worth a desktop notification: the
// line going off air by a fault, once, and its return after such a notice.
// A pause the program makes on purpose (a swap, the end of the program) and
// a start that never reached the air are not.
class LineNotices {
public:
    explicit LineNotices(NoticeSender& sender) : sender_(sender) {}

    void lineChanged(const LineState& line);

private:
    NoticeSender& sender_;
    bool wasOnAir_ = false;
    bool offAirTold_ = false;
};

}  // namespace quindra
