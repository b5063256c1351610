#include "hardware/udev/UdevMonitor.h"

#include <QDebug>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#include "core/EventLoop.h"

namespace quindra::udev {

namespace {

// Uevents taken per wake-up, so a flood cannot hold the UI thread; the rest
// wake it again.
constexpr int kMostPerWakeup = 256;
// A socket at its end or in error is always readable and never yields a
// uevent; a healthy one only rarely wakes the thread for nothing.
constexpr int kIdleWakeupsOfABrokenSocket = 16;
constexpr int kRetryMs = 1000;
// Room for the uevents of a whole hub plugged in at once.
constexpr int kReceiveBufferBytes = 1 << 20;

}  // namespace

UdevMonitor::UdevMonitor(::udev* context, EventLoop& loop, QByteArray subsystem, QByteArray devtype,
                         std::function<void(udev_device*)> take, std::function<void()> burst,
                         std::function<void()> lost)
    : context_(context),
      subsystem_(std::move(subsystem)),
      devtype_(std::move(devtype)),
      take_(std::move(take)),
      burst_(std::move(burst)),
      lost_(std::move(lost)),
      guard_(loop) {
    retry_ = loop.createTimer(kRetryMs, [this] {
        retry_->setEnabled(false);
        if (!open())
            retry_->setEnabled(true);
        else if (lost_)
            lost_();  // whatever happened without a monitor went unread
    });
    if (!open()) {
        warnOnce(CannotOpen, "cannot open; trying again every second");
        retry_->setEnabled(true);
    }
}

UdevMonitor::~UdevMonitor() = default;

int UdevMonitor::fd() const {
    return monitor_ ? udev_monitor_get_fd(monitor_.get()) : -1;
}

bool UdevMonitor::open() {
    notifier_.reset();
    monitor_.reset(udev_monitor_new_from_netlink(context_, "udev"));
    if (!monitor_)
        return false;
    udev_monitor_filter_add_match_subsystem_devtype(
        monitor_.get(), subsystem_.constData(),
        devtype_.isEmpty() ? nullptr : devtype_.constData());
    // A smaller buffer than asked for only makes an overflow likelier.
    udev_monitor_set_receive_buffer_size(monitor_.get(), kReceiveBufferBytes);
    if (udev_monitor_enable_receiving(monitor_.get()) < 0) {
        monitor_.reset();
        return false;
    }
    notifier_ = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_.get()),
                                                  QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readable(); });
    idleWakeups_ = 0;
    return true;
}

bool UdevMonitor::receive() {
    if (!monitor_)
        return false;
    int received = 0;
    bool lost = false;
    for (int i = 0; i < kMostPerWakeup; ++i) {
        errno = 0;
        DevicePtr device(udev_monitor_receive_device(monitor_.get()));
        if (device) {
            ++received;
            // A uevent that cannot be copied is dropped; the watch goes on.
            try {
                take_(device.get());
            } catch (const std::exception&) {
            }
            continue;
        }
        if (errno == ENOBUFS) {
            lost = true;  // the socket overflowed; reading goes on after the gap
            continue;
        }
        break;
    }
    if (lost) {
        warnOnce(Overflow, "lost uevents in a burst");
        if (lost_)
            lost_();
    }
    return received > 0 || lost;
}

void UdevMonitor::drain() {
    if (receive())
        idleWakeups_ = 0;
}

void UdevMonitor::readable() {
    if (receive()) {
        idleWakeups_ = 0;
        postBurst();
        return;
    }
    if (++idleWakeups_ >= kIdleWakeupsOfABrokenSocket)
        reopen();
}

void UdevMonitor::reopen() {
    warnOnce(Broken, "socket failed; opening a new monitor");
    if (lost_)
        lost_();
    if (!open())
        retry_->setEnabled(true);
}

void UdevMonitor::postBurst() {
    if (burstPosted_)
        return;
    burstPosted_ = true;
    guard_.post([this] {
        burstPosted_ = false;
        burst_();
    });
}

void UdevMonitor::warnOnce(Fault fault, const char* what) {
    if (warned_ & fault)
        return;
    warned_ |= fault;
    qWarning().noquote() << "udev monitor for" << subsystem_ << what;
}

}  // namespace quindra::udev
