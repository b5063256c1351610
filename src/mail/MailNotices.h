#pragma once

#include <functional>
#include <memory>

#include "core/EventLoop.h"
#include "mail/MailFlags.h"
#include "mail/SmtpClientSettings.h"

namespace quindra {

// The three notices: a swapped message (type 1), the hardware disconnected
// (type 2) and connected again (type 3). The event arms the notice's one-shot
// timer when the options ask for it; the timer hands the type to the sender.
class MailNotices {
public:
    static constexpr int kTrocaMsgMs = 1000;
    static constexpr int kHardDescMs = 3000;
    static constexpr int kReconectMs = 3000;

    enum Type { MessageSwapped = 1, HardwareDisconnected = 2, HardwareReconnected = 3 };

    explicit MailNotices(EventLoop& loop);
    MailNotices(const MailNotices&) = delete;
    MailNotices& operator=(const MailNotices&) = delete;

    // The options as stored, at start and from the settings page.
    void setSendMailFlag(bool on) { flags_.SendMailFlag = on; }
    void setTrocaMsgFlag(bool on) { flags_.TrocaMsgFlag = on; }
    void setHardDescFlag(bool on) { flags_.HardDescFlag = on; }
    void setAuthSeguroFlag(bool on) { flags_.AuthSeguroFlag = on; }
    // Set when a notice is composed, cleared when it has gone out.
    void setMailPending(bool on) { flags_.MailPending = on; }
    const MailFlags& flags() const { return flags_; }

    SmtpClientSettings& smtp() { return smtp_; }
    const SmtpClientSettings& smtp() const { return smtp_; }

    // The events. Each arms its timer only while mail is on and its notice is
    // chosen; arming an armed timer keeps its countdown.
    void messageSwapped();
    void hardwareDisconnected();
    void hardwareReconnected();

    void tTrocaMsgTimer();
    void tHardDescTimer();
    void tReconectTimer();

    Timer& tTrocaMsg() { return *tTrocaMsg_; }
    Timer& tHardDesc() { return *tHardDesc_; }
    Timer& tReconect() { return *tReconect_; }

    // Composes and sends a notice of the given type (MailOffice puts its
    // sender here); while unset, a fired timer sends nothing.
    std::function<void(Type)> EnviaEmail;

private:
    void send(Timer& timer, Type type);

    MailFlags flags_;
    SmtpClientSettings smtp_;
    std::unique_ptr<Timer> tTrocaMsg_;
    std::unique_ptr<Timer> tHardDesc_;
    std::unique_ptr<Timer> tReconect_;
};

}  // namespace quindra
