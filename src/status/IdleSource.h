#pragma once

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

// The Qt event dispatcher's "about to block".
class QtIdleSource final : public IdleSource {
public:
    QtIdleSource() = default;
    ~QtIdleSource() override;
    QtIdleSource(const QtIdleSource&) = delete;
    QtIdleSource& operator=(const QtIdleSource&) = delete;

    void setIdleHandler(std::function<void()> handler) override;

private:
    QMetaObject::Connection connection_;
    std::function<void()> handler_;
    bool running_ = false;
};

}  // namespace quindra
