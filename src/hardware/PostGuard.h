#pragma once

#include <functional>
#include <memory>

#include "core/EventLoop.h"

namespace quindra {

// Posts work to the UI thread on behalf of an owner that may be gone when it
// runs: work that arrives after the owner's destruction is dropped. Posting
// and running both happen on the UI thread.
class PostGuard {
public:
    explicit PostGuard(EventLoop& loop) : loop_(loop), token_(std::make_shared<char>()) {}
    PostGuard(const PostGuard&) = delete;
    PostGuard& operator=(const PostGuard&) = delete;

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
