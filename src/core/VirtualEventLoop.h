#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "core/EventLoop.h"

namespace quindra {

// An event loop whose clock only moves when a test advances it, or when a
// handler pauses or waits. Timing rules are then checked exactly and fast.
class VirtualEventLoop final : public EventLoop {
public:
    VirtualEventLoop();
    ~VirtualEventLoop() override;

    // Safe from any thread, as the port promises: device and network
    // callbacks queue their work here from threads of their own.
    void post(std::function<void()> fn) override;
    void processPendingMessages() override;
    // Runs posted work and timers in time order, moving the clock forward to
    // each next due timer. Throws when nothing could ever make done() true.
    void processMessagesUntil(const std::function<bool()>& done) override;
    void pause(int ms) override;
    void quit() override { quitRequested_ = true; }
    std::unique_ptr<Timer> createTimer(int intervalMs, std::function<void()> handler) override;

    // Moves the clock by ms, running every timer that falls due on the way
    // (and posted work) in order.
    void advance(std::int64_t ms);
    std::int64_t now() const { return now_; }
    bool quitRequested() const { return quitRequested_; }
    // Milliseconds spent blocked in pause() so far.
    std::int64_t pausedMs() const { return paused_; }

    class VirtualTimer;

private:
    friend class VirtualTimer;
    bool runOnePosted();
    VirtualTimer* nextDue() const;
    void fire(VirtualTimer* t);
    void forget(VirtualTimer* t);

    std::int64_t now_ = 0;
    std::int64_t paused_ = 0;
    std::uint64_t sequence_ = 0;
    bool quitRequested_ = false;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;  // guarded by postedMutex_
    std::vector<VirtualTimer*> timers_;
};

}  // namespace quindra
