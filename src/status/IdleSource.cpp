#include "status/IdleSource.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

namespace quindra {

QtIdleSource::~QtIdleSource() {
    QObject::disconnect(connection_);
}

void QtIdleSource::setIdleHandler(std::function<void()> handler) {
    QObject::disconnect(connection_);
    handler_ = std::move(handler);
    auto* dispatcher = QAbstractEventDispatcher::instance();
    if (!handler_ || !dispatcher)
        return;
    connection_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [this] {
        // A box opened by the handler would wait in a loop of its own, which
        // blocks too: the handler never runs inside itself.
        if (running_ || !handler_)
            return;
        if (sinceLast_.isValid() && !sinceLast_.hasExpired(kMinimumIntervalMs))
            return;
        sinceLast_.start();
        running_ = true;
        struct Done {
            bool& running;
            ~Done() { running = false; }
        } done{running_};
        handler_();
    });
}

}  // namespace quindra
