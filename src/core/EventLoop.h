#pragma once

#include <exception>
#include <functional>
#include <memory>

namespace quindra {

// A timer of the main window. Everything runs on the UI thread: the handler is
// called from the event loop, never from another thread.
class Timer {
public:
    virtual ~Timer() = default;

    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    // Enabling an enabled timer keeps its running countdown; disabling drops it.
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;
    virtual void setHandler(std::function<void()> handler) = 0;
};

// The single thread's event loop, the only way the program waits or schedules.
class EventLoop {
public:
    virtual ~EventLoop() = default;

    // Queues fn to run on the UI thread; safe to call from any thread.
    virtual void post(std::function<void()> fn) = 0;
    // Runs what is already queued (posted functions, due timers) and returns.
    virtual void processPendingMessages() = 0;
    // Handles events, sleeping while there are none, until done() holds.
    virtual void processMessagesUntil(const std::function<bool()>& done) = 0;
    // Blocks the thread for ms; nothing else runs meanwhile.
    virtual void pause(int ms) = 0;
    // Ends the run loop after the current handler.
    virtual void quit() = 0;

    // A disabled timer with the given interval.
    virtual std::unique_ptr<Timer> createTimer(int intervalMs, std::function<void()> handler) = 0;

    // Where a failure that a timer handler or posted function lets through
    // goes: the default error handler, after which the loop carries on.
    // Without a sink the failure propagates to whoever runs the loop.
    void setUncaughtHandler(std::function<void(const std::exception&)> sink) {
        uncaught_ = std::move(sink);
    }

protected:
    // Runs one handler, handing what it throws to the sink.
    void dispatch(const std::function<void()>& fn) {
        if (!fn)
            return;
        if (!uncaught_)
            return fn();
        try {
            fn();
        } catch (const std::exception& e) {
            uncaught_(e);
        }
    }

private:
    std::function<void(const std::exception&)> uncaught_;
};

}  // namespace quindra
