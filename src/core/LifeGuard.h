#pragma once

#include <functional>
#include <memory>

#include "core/EventLoop.h"

namespace quindra {

// Posts work to the UI thread on behalf of an owner that may be gone by the
// time the work runs: what arrives after the owner's destruction is dropped.
// The owner must stop every thread that posts through it (a sound server's
// streams, a device monitor) before it is destroyed; the check itself runs on
// the UI thread.
class LifeGuard {
public:
    explicit LifeGuard(EventLoop& loop) : loop_(loop), token_(std::make_shared<char>()) {}
    LifeGuard(const LifeGuard&) = delete;
    LifeGuard& operator=(const LifeGuard&) = delete;

    void post(std::function<void()> fn) const {
        loop_.post([alive = std::weak_ptr<char>(token_), fn = std::move(fn)] {
            if (alive.lock())
                fn();
        });
    }
    EventLoop& loop() const { return loop_; }

private:
    EventLoop& loop_;
    std::shared_ptr<char> token_;
};

}  // namespace quindra
