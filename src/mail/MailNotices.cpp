#include "mail/MailNotices.h"

namespace quindra {

MailNotices::MailNotices(EventLoop& loop)
    : tTrocaMsg_(loop.createTimer(kTrocaMsgMs, [this] { tTrocaMsgTimer(); })),
      tHardDesc_(loop.createTimer(kHardDescMs, [this] { tHardDescTimer(); })),
      tReconect_(loop.createTimer(kReconectMs, [this] { tReconectTimer(); })) {}

void MailNotices::messageSwapped() {
    if (flags_.SendMailFlag && flags_.TrocaMsgFlag)
        tTrocaMsg_->setEnabled(true);
}

void MailNotices::hardwareDisconnected() {
    if (flags_.SendMailFlag && flags_.HardDescFlag)
        tHardDesc_->setEnabled(true);
}

void MailNotices::hardwareReconnected() {
    if (flags_.SendMailFlag && flags_.HardDescFlag)
        tReconect_->setEnabled(true);
}

void MailNotices::send(Timer& timer, Type type) {
    timer.setEnabled(false);
    if (EnviaEmail)
        EnviaEmail(type);
}

void MailNotices::tTrocaMsgTimer() {
    send(*tTrocaMsg_, MessageSwapped);
}

void MailNotices::tHardDescTimer() {
    send(*tHardDesc_, HardwareDisconnected);
}

void MailNotices::tReconectTimer() {
    send(*tReconect_, HardwareReconnected);
}

}  // namespace quindra
