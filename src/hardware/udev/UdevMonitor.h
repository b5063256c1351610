#pragma once

#include <QByteArray>
#include <functional>
#include <memory>

#include "core/LifeGuard.h"
#include "hardware/udev/UdevHandles.h"

class QSocketNotifier;

namespace quindra {
class EventLoop;
class Timer;
}  // namespace quindra

namespace quindra::udev {

// A udev monitor on one subsystem (and device type), read on the UI thread
// whenever its socket has data. Every uevent of a read is handed to `take`
// at once, to copy what it needs; then one `burst` is posted through the
// event loop for all of them, however many came. `lost` is told when uevents
// may have gone unread: the socket overflowed, or a new monitor took over.
//
// The watch never stops by itself: a socket that keeps waking the thread with
// nothing to read is replaced by a new monitor, and a monitor that cannot be
// made is tried again every second. Each kind of fault is written to standard
// error once.
class UdevMonitor {
public:
    // The context must outlive the monitor.
    UdevMonitor(::udev* context, EventLoop& loop, QByteArray subsystem, QByteArray devtype,
                std::function<void(udev_device*)> take, std::function<void()> burst,
                std::function<void()> lost = nullptr);
    ~UdevMonitor();
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    // The monitor's socket; -1 while there is none.
    int fd() const;
    // Hands whatever the socket holds now to `take`, without a burst: for a
    // reader that is about to handle what was taken.
    void drain();

private:
    enum Fault : unsigned { CannotOpen = 1, Overflow = 2, Broken = 4 };

    bool open();
    // The uevents the socket holds, up to a limit; false when it held none.
    bool receive();
    void readable();
    void reopen();
    void postBurst();
    void warnOnce(Fault fault, const char* what);

    ::udev* context_;
    QByteArray subsystem_;
    QByteArray devtype_;
    std::function<void(udev_device*)> take_;
    std::function<void()> burst_;
    std::function<void()> lost_;
    MonitorPtr monitor_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<Timer> retry_;
    int idleWakeups_ = 0;
    bool burstPosted_ = false;
    unsigned warned_ = 0;
    LifeGuard guard_;
};

}  // namespace quindra::udev
