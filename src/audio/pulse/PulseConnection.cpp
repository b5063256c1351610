#include "audio/pulse/PulseConnection.h"

#include <pulse/rtclock.h>

#include <algorithm>

#include "audio/pulse/MemberCallback.h"
#include "ports/WaveControl.h"

namespace quindra::pulse {

namespace {

// The time limit of one wait: wakes the waiter when it passes.
struct Deadline {
    pa_threaded_mainloop* mainloop;
    bool expired = false;

    void expire(pa_mainloop_api*, pa_time_event*, const struct timeval*) {
        expired = true;
        pa_threaded_mainloop_signal(mainloop, 0);
    }
};

}  // namespace

PulseConnection::Lock::Lock(PulseConnection& c) : mainloop_(c.mainloop_.get()) {
    pa_threaded_mainloop_lock(mainloop_);
}

PulseConnection::Lock::~Lock() {
    pa_threaded_mainloop_unlock(mainloop_);
}

void PulseConnection::MainloopFree::operator()(pa_threaded_mainloop* m) const {
    pa_threaded_mainloop_stop(m);
    pa_threaded_mainloop_free(m);
}

PulseConnection::PulseConnection(EventLoop& loop, std::chrono::milliseconds waitLimit,
                                 std::chrono::milliseconds retryInterval)
    : mainloop_(pa_threaded_mainloop_new()), waitLimit_(waitLimit), guard_(loop) {
    if (!mainloop_ || pa_threaded_mainloop_start(mainloop_.get()) < 0) {
        throw WaveError(QStringLiteral("Não foi possível iniciar o cliente do servidor de som."));
    }
    retry_ = loop.createTimer(static_cast<int>(retryInterval.count()), [this] {
        retry_->setEnabled(false);
        connect();
    });
    connectLimit_ = loop.createTimer(static_cast<int>(waitLimit.count()), [this] {
        connectLimit_->setEnabled(false);
        if (state_ == State::Connecting)
            contextLost(epoch_);
    });
    connect();
}

PulseConnection::~PulseConnection() {
    dropContext();
    // Stopping the mainloop thread first means no callback can post anything
    // that outlives the members below.
    mainloop_.reset();
}

void PulseConnection::addObserver(Observer* o) {
    if (std::find(observers_.begin(), observers_.end(), o) == observers_.end()) {
        observers_.push_back(o);
    }
}

void PulseConnection::removeObserver(Observer* o) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

void PulseConnection::connect() {
    state_ = State::Connecting;
    connectLimit_->setEnabled(true);
    Lock lock(*this);
    // epoch_ changes only under the lock, so the state callback may read it.
    const unsigned epoch = ++epoch_;
    context_.reset(pa_context_new(pa_threaded_mainloop_get_api(mainloop_.get()), "Quindra"));
    if (!context_) {
        post([this, epoch] { contextLost(epoch); });
        return;
    }
    pa_context_set_state_callback(context_.get(), memberCallback<&PulseConnection::onContextState>,
                                  this);
    // No autospawn: the session's server (or the test's) is the one to use,
    // and an unattended program should not start daemons of its own.
    if (pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        post([this, epoch] { contextLost(epoch); });
    }
}

void PulseConnection::dropContext() {
    Lock lock(*this);
    if (!context_)
        return;
    pa_context_set_state_callback(context_.get(), nullptr, nullptr);
    pa_context_set_subscribe_callback(context_.get(), nullptr, nullptr);
    pa_context_disconnect(context_.get());
    context_.reset();
}

void PulseConnection::onContextState(pa_context* c) {
    signal();
    const unsigned epoch = epoch_;
    switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            pa_context_set_subscribe_callback(c, memberCallback<&PulseConnection::onDeviceEvent>,
                                              this);
            if (pa_operation* op = pa_context_subscribe(
                    c,
                    static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK |
                                                        PA_SUBSCRIPTION_MASK_SOURCE),
                    nullptr, nullptr)) {
                pa_operation_unref(op);
            }
            post([this, epoch] { contextReady(epoch); });
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            post([this, epoch] { contextLost(epoch); });
            break;
        default:
            break;
    }
}

void PulseConnection::onDeviceEvent(pa_context*, pa_subscription_event_type_t, std::uint32_t) {
    if (!devicesChangePosted_.exchange(true))
        post([this] { notifyDevicesChanged(); });
}

void PulseConnection::notifyDevicesChanged() {
    devicesChangePosted_ = false;
    if (state_ != State::Ready)
        return;
    const auto observers = observers_;
    for (auto* o : observers)
        o->devicesChanged();
}

void PulseConnection::contextReady(unsigned epoch) {
    if (epoch != epoch_ || state_ != State::Connecting)
        return;
    state_ = State::Ready;
    connectLimit_->setEnabled(false);
    const auto observers = observers_;  // an observer may unregister itself
    for (auto* o : observers)
        o->serverReady();
}

void PulseConnection::contextLost(unsigned epoch) {
    if (epoch != epoch_ || state_ == State::Down)
        return;
    state_ = State::Down;
    connectLimit_->setEnabled(false);
    const auto observers = observers_;
    for (auto* o : observers)
        o->serverLost();
    dropContext();
    retry_->setEnabled(true);
}

bool PulseConnection::contextFailed() const {
    if (!context_)
        return true;
    const auto s = pa_context_get_state(context_.get());
    return s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED;
}

bool PulseConnection::reachable(Lock&) const {
    return state_ != State::Down && context_ &&
           pa_context_get_state(context_.get()) == PA_CONTEXT_READY;
}

pa_context* PulseConnection::context(Lock& lock) {
    if (state_ == State::Down || !context_) {
        throw WaveError(QStringLiteral("Servidor de som indisponível."));
    }
    pa_context* c = context_.get();
    wait(
        lock, [c] { return pa_context_get_state(c) == PA_CONTEXT_READY; },
        QStringLiteral("conexão"));
    return c;
}

void PulseConnection::wait(Lock&, const std::function<bool()>& done, const QString& what) {
    if (done())
        return;
    if (!contextFailed()) {
        Deadline deadline{mainloop_.get()};
        const auto limit = std::chrono::duration_cast<std::chrono::microseconds>(waitLimit_);
        pa_time_event* timer = pa_context_rttime_new(
            context_.get(), pa_rtclock_now() + static_cast<pa_usec_t>(limit.count()),
            memberCallback<&Deadline::expire>, &deadline);
        while (!done() && !deadline.expired && !contextFailed()) {
            pa_threaded_mainloop_wait(mainloop_.get());
        }
        pa_threaded_mainloop_get_api(mainloop_.get())->time_free(timer);
        if (done())
            return;
        if (deadline.expired) {
            throw WaveError(
                QStringLiteral("O servidor de som não respondeu a tempo (%1).").arg(what));
        }
    }
    throw WaveError(QStringLiteral("A conexão com o servidor de som foi perdida (%1).").arg(what));
}

}  // namespace quindra::pulse
