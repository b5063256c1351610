#pragma once

#include <chrono>
#include <functional>

#include "core/QtEventLoop.h"

namespace quindra::testing {

// Runs the program's event loop until done() or the limit; returns done().
inline bool waitFor(QtEventLoop& loop, const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    // The heartbeat wakes the loop, so the limit holds even when nothing else
    // happens.
    auto heartbeat = loop.createTimer(20, [] {});
    heartbeat->setEnabled(true);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    loop.processMessagesUntil(
        [&] { return done() || std::chrono::steady_clock::now() >= deadline; });
    return done();
}

}  // namespace quindra::testing
