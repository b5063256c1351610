#include "core/QtEventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>
#include <chrono>
#include <thread>

namespace quindra {

namespace {

class QtTimer final : public Timer {
public:
    QtTimer(QtEventLoop& loop, int intervalMs, std::function<void()> handler)
        : handler_(std::move(handler)) {
        timer_.setInterval(intervalMs);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this, &loop] {
            const auto handler = handler_;  // the handler may replace itself
            loop.run(handler);
        });
    }

    // A new interval restarts a running countdown, as on the window's timers.
    void setInterval(int ms) override { timer_.setInterval(ms); }
    int interval() const override { return timer_.interval(); }
    void setEnabled(bool on) override {
        if (on && !timer_.isActive())
            timer_.start();
        if (!on)
            timer_.stop();
    }
    bool enabled() const override { return timer_.isActive(); }
    void setHandler(std::function<void()> handler) override { handler_ = std::move(handler); }

private:
    QTimer timer_;
    std::function<void()> handler_;
};

}  // namespace

void QtEventLoop::post(std::function<void()> fn) {
    auto* app = QCoreApplication::instance();
    QMetaObject::invokeMethod(
        app, [this, fn = std::move(fn)] { run(fn); }, Qt::QueuedConnection);
}

void QtEventLoop::processPendingMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventLoop::processMessagesUntil(const std::function<bool()>& done) {
    // WaitForMoreEvents sleeps in the dispatcher until something arrives, so a
    // long wait costs no CPU; whatever makes done() true is itself an event.
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

void QtEventLoop::pause(int ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void QtEventLoop::quit() {
    QCoreApplication::quit();
}

std::unique_ptr<Timer> QtEventLoop::createTimer(int intervalMs, std::function<void()> handler) {
    return std::make_unique<QtTimer>(*this, intervalMs, std::move(handler));
}

}  // namespace quindra
