#pragma once

#include "core/EventLoop.h"

namespace quindra {

// The program's loop: QTimer for timers, the Qt event dispatcher for waits.
class QtEventLoop final : public EventLoop {
public:
    void post(std::function<void()> fn) override;
    void processPendingMessages() override;
    void processMessagesUntil(const std::function<bool()>& done) override;
    void pause(int ms) override;
    void quit() override;
    std::unique_ptr<Timer> createTimer(int intervalMs, std::function<void()> handler) override;

    void run(const std::function<void()>& fn) { dispatch(fn); }
};

}  // namespace quindra
