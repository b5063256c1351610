#include "core/VirtualEventLoop.h"

#include <algorithm>
#include <stdexcept>

namespace quindra {

class VirtualEventLoop::VirtualTimer final : public Timer {
public:
    VirtualTimer(VirtualEventLoop& loop, int intervalMs, std::function<void()> handler)
        : loop_(loop), interval_(intervalMs), handler_(std::move(handler)) {}
    ~VirtualTimer() override { loop_.forget(this); }

    void setInterval(int ms) override {
        interval_ = ms;
        if (enabled_)
            arm();
    }
    int interval() const override { return interval_; }
    void setEnabled(bool on) override {
        if (on && !enabled_) {
            enabled_ = true;
            arm();
        } else if (!on) {
            enabled_ = false;
        }
    }
    bool enabled() const override { return enabled_; }
    void setHandler(std::function<void()> handler) override { handler_ = std::move(handler); }

    void arm() {
        due_ = loop_.now_ + std::max(interval_, 1);
        order_ = ++loop_.sequence_;
    }

    VirtualEventLoop& loop_;
    int interval_;
    std::function<void()> handler_;
    bool enabled_ = false;
    std::int64_t due_ = 0;
    std::uint64_t order_ = 0;
};

VirtualEventLoop::VirtualEventLoop() = default;
VirtualEventLoop::~VirtualEventLoop() = default;

void VirtualEventLoop::post(std::function<void()> fn) {
    const std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(fn));
}

bool VirtualEventLoop::runOnePosted() {
    std::function<void()> fn;
    {
        const std::lock_guard lock(postedMutex_);
        if (posted_.empty())
            return false;
        fn = std::move(posted_.front());
        posted_.pop_front();
    }
    // Run outside the lock: the work may post more.
    dispatch(fn);
    return true;
}

VirtualEventLoop::VirtualTimer* VirtualEventLoop::nextDue() const {
    VirtualTimer* best = nullptr;
    for (auto* t : timers_) {
        if (!t->enabled_)
            continue;
        if (!best || t->due_ < best->due_ || (t->due_ == best->due_ && t->order_ < best->order_))
            best = t;
    }
    return best;
}

void VirtualEventLoop::fire(VirtualTimer* t) {
    // An overdue timer fires once, however late, and counts its next interval
    // from now, as window timers do after the thread was blocked.
    t->arm();
    const auto handler = t->handler_;  // the handler may replace itself
    dispatch(handler);
}

void VirtualEventLoop::processPendingMessages() {
    // Only what is queued or already due now; new timers due later wait.
    while (true) {
        if (runOnePosted())
            continue;
        auto* t = nextDue();
        if (t && t->due_ <= now_) {
            fire(t);
            continue;
        }
        break;
    }
}

void VirtualEventLoop::processMessagesUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (runOnePosted())
            continue;
        auto* t = nextDue();
        if (!t)
            throw std::logic_error("VirtualEventLoop: waiting for a condition nothing can change");
        now_ = std::max(now_, t->due_);
        fire(t);
    }
}

void VirtualEventLoop::pause(int ms) {
    if (ms <= 0)
        return;
    now_ += ms;
    paused_ += ms;
}

void VirtualEventLoop::advance(std::int64_t ms) {
    const std::int64_t end = now_ + ms;
    while (true) {
        if (runOnePosted())
            continue;
        auto* t = nextDue();
        if (!t || t->due_ > end)
            break;
        now_ = std::max(now_, t->due_);
        fire(t);
    }
    now_ = std::max(now_, end);
}

std::unique_ptr<Timer> VirtualEventLoop::createTimer(int intervalMs,
                                                     std::function<void()> handler) {
    auto timer = std::make_unique<VirtualTimer>(*this, intervalMs, std::move(handler));
    timers_.push_back(timer.get());
    return timer;
}

void VirtualEventLoop::forget(VirtualTimer* t) {
    timers_.erase(std::remove(timers_.begin(), timers_.end(), t), timers_.end());
}

}  // namespace quindra
