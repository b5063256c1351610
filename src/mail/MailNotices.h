#pragma once

#include <QString>
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
    static constexpr int kSwapNoticeDelayMs = 1000;
    static constexpr int kUnplugNoticeDelayMs = 3000;
    static constexpr int kReplugNoticeDelayMs = 3000;

    enum Type { MessageSwapped = 1, HardwareDisconnected = 2, HardwareReconnected = 3 };

    explicit MailNotices(EventLoop& loop);
    MailNotices(const MailNotices&) = delete;
    MailNotices& operator=(const MailNotices&) = delete;

    // The options as stored, at start and from the settings page.
    void setEnabled(bool on) { flags_.enabled = on; }
    void setOnSwap(bool on) { flags_.onSwap = on; }
    void setOnHardware(bool on) { flags_.onHardware = on; }
    void setSecure(bool on) { flags_.secure = on; }
    // Set when a notice is composed, cleared when it has gone out.
    void setPending(bool on) { flags_.pending = on; }
    const MailFlags& flags() const { return flags_; }

    // Where the notices go, as the settings page shows it.
    void setRecipient(const QString& text) { recipient_ = text; }
    const QString& recipient() const { return recipient_; }
    // The "De:" address; empty: the recipient text.
    void setSender(const QString& text) { sender_ = text; }
    const QString& sender() const { return sender_; }

    // The loop the notices' timers run on, where a send that ran elsewhere
    // hands its outcome back.
    EventLoop& loop() { return loop_; }

    SmtpClientSettings& smtp() { return smtp_; }
    const SmtpClientSettings& smtp() const { return smtp_; }

    // The events. Each arms its timer only while mail is on and its notice is
    // chosen; arming an armed timer keeps its countdown.
    void messageSwapped();
    void hardwareDisconnected();
    void hardwareReconnected();

    Timer& swapNoticeTimer() { return *swapTimer_; }
    Timer& unplugNoticeTimer() { return *unplugTimer_; }
    Timer& replugNoticeTimer() { return *replugTimer_; }

    // Composes and sends a notice of the given type (MailOffice puts its
    // sender here); while unset, a fired timer sends nothing.
    std::function<void(Type)> send;

private:
    void due(Timer& timer, Type type);

    EventLoop& loop_;
    MailFlags flags_;
    QString recipient_;
    QString sender_;
    SmtpClientSettings smtp_;
    std::unique_ptr<Timer> swapTimer_;
    std::unique_ptr<Timer> unplugTimer_;
    std::unique_ptr<Timer> replugTimer_;
};

}  // namespace quindra
