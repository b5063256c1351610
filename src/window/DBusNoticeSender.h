#pragma once

#include <QObject>
#include <QThread>
#include <memory>

#include "window/LineNotices.h"

namespace quindra {

// Desktop notifications through the freedesktop notification service on the
// session bus. Connecting to the bus and calling the service happen on a
// thread of their own, and no answer is awaited: a bus that is missing or
// slow, or no service on it, never holds up the UI thread, and the notice is
// simply not shown.
class DBusNoticeSender final : public NoticeSender {
public:
    DBusNoticeSender();
    ~DBusNoticeSender() override;
    DBusNoticeSender(const DBusNoticeSender&) = delete;
    DBusNoticeSender& operator=(const DBusNoticeSender&) = delete;

    void send(const DesktopNotice& notice) override;

private:
    QThread thread_;
    std::unique_ptr<QObject> inThread_;  // the context of the calls on thread_
};

}  // namespace quindra
