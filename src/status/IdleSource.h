#pragma once

#include <QElapsedTimer>
#include <QMetaObject>
#include <functional>

namespace quindra {

// The application's idle moment: the handler runs each time the event queue
// has been emptied, before the program waits for the next event. It never
// asks for more idle calls.
class IdleSource {
public:
    virtual ~IdleSource() = default;
    // Replaces the handler; an empty one detaches it.
    virtual void setIdleHandler(std::function<void()> handler) = 0;
};

// The Qt event dispatcher's "about to block". With the monitoring views
// drawing and the sound arriving, the queue runs empty nearly a hundred times
// a second; the handler runs at the first of those moments after each
// interval, which keeps what it shows as fresh as the eye can follow at a
// tenth of the cost.
class QtIdleSource final : public IdleSource {
public:
    static constexpr int kMinimumIntervalMs = 100;

    QtIdleSource() = default;
    ~QtIdleSource() override;
    QtIdleSource(const QtIdleSource&) = delete;
    QtIdleSource& operator=(const QtIdleSource&) = delete;

    void setIdleHandler(std::function<void()> handler) override;

private:
    QMetaObject::Connection connection_;
    std::function<void()> handler_;
    QElapsedTimer sinceLast_;
    bool running_ = false;
};

}  // namespace quindra
