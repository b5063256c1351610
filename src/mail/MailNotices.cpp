#include "mail/MailNotices.h"

namespace quindra {

MailNotices::MailNotices(EventLoop& loop)
    : loop_(loop),
      swapTimer_(
          loop.createTimer(kSwapNoticeDelayMs, [this] { due(*swapTimer_, MessageSwapped); })),
      unplugTimer_(loop.createTimer(kUnplugNoticeDelayMs,
                                    [this] { due(*unplugTimer_, HardwareDisconnected); })),
      replugTimer_(loop.createTimer(kReplugNoticeDelayMs,
                                    [this] { due(*replugTimer_, HardwareReconnected); })) {}

void MailNotices::messageSwapped() {
    if (flags_.enabled && flags_.onSwap)
        swapTimer_->setEnabled(true);
}

void MailNotices::hardwareDisconnected() {
    if (flags_.enabled && flags_.onHardware)
        unplugTimer_->setEnabled(true);
}

void MailNotices::hardwareReconnected() {
    if (flags_.enabled && flags_.onHardware)
        replugTimer_->setEnabled(true);
}

void MailNotices::due(Timer& timer, Type type) {
    timer.setEnabled(false);
    if (send)
        send(type);
}

}  // namespace quindra
