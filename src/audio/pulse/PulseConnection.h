#pragma once

#include <pulse/context.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/EventLoop.h"
#include "core/LifeGuard.h"

namespace quindra::pulse {

// The process's one connection to the sound server (PULSE_SERVER, or the
// session's default): a libpulse threaded mainloop and its context.
//
// Pulse callbacks run on the mainloop thread with the mainloop lock held.
// Everything else here happens on the UI thread: connecting, noticing a lost
// server (handed over with EventLoop::post) and reconnecting on a timer of the
// event loop. The UI thread never blocks while the server is away; it blocks
// only in wait(), which has a time limit.
class PulseConnection {
public:
    // Told on the UI thread when the server comes (again) or goes away.
    class Observer {
    public:
        virtual ~Observer() = default;
        virtual void serverReady() = 0;
        // The context is gone: streams made on it are dead and must be dropped.
        virtual void serverLost() = 0;
        // Devices came, went or changed (a burst of changes is told once).
        virtual void devicesChanged() {}
    };

    // Holds the mainloop lock: any use of a pulse object outside a callback.
    class Lock {
    public:
        explicit Lock(PulseConnection& c);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* mainloop_;
    };

    explicit PulseConnection(EventLoop& loop,
                             std::chrono::milliseconds waitLimit = std::chrono::seconds(2),
                             std::chrono::milliseconds retryInterval = std::chrono::seconds(1));
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    void addObserver(Observer* o);
    void removeObserver(Observer* o);

    // True while no server is connected and a reconnection is pending: work
    // that needs the server waits for serverReady() instead of failing.
    bool down() const { return state_ == State::Down; }
    // Whether the server can be talked to now: false as soon as the context
    // has failed, before the UI thread has heard of it, and while a
    // connection is still under way.
    bool reachable(Lock&) const;

    // The connected context, waiting (bounded) while a connection is under
    // way. Throws WaveError when there is no server.
    pa_context* context(Lock&);

    // Waits with the lock held until done() holds. Throws WaveError, naming
    // `what`, when the time limit passes or the server goes away first.
    void wait(Lock&, const std::function<bool()>& done, const QString& what);

    // Wakes wait(); callbacks call it after any change a waiter may look at.
    void signal() { pa_threaded_mainloop_signal(mainloop_.get(), 0); }

    EventLoop& loop() const { return guard_.loop(); }
    pa_mainloop_api* api() const { return pa_threaded_mainloop_get_api(mainloop_.get()); }

    // Runs fn on the UI thread while this connection lives.
    void post(std::function<void()> fn) const { guard_.post(std::move(fn)); }

private:
    enum class State { Connecting, Ready, Down };

    struct MainloopFree {
        void operator()(pa_threaded_mainloop* m) const;
    };
    struct ContextUnref {
        void operator()(pa_context* c) const { pa_context_unref(c); }
    };

    void connect();
    void dropContext();
    void onContextState(pa_context* c);
    void onDeviceEvent(pa_context* c, pa_subscription_event_type_t type, std::uint32_t index);
    void notifyDevicesChanged();
    void contextReady(unsigned epoch);
    void contextLost(unsigned epoch);
    bool contextFailed() const;

    std::unique_ptr<pa_threaded_mainloop, MainloopFree> mainloop_;
    std::unique_ptr<pa_context, ContextUnref> context_;
    std::chrono::milliseconds waitLimit_;
    State state_ = State::Connecting;
    unsigned epoch_ = 0;  // which context a posted state change is about
    std::vector<Observer*> observers_;
    std::atomic<bool> devicesChangePosted_ = false;
    std::unique_ptr<Timer> retry_;
    std::unique_ptr<Timer> connectLimit_;  // a connection attempt that hangs counts as failed
    // Posted state changes die with the connection; the destructor stops the
    // mainloop thread before any member goes.
    LifeGuard guard_;
};

}  // namespace quindra::pulse
