#include "window/DBusNoticeSender.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace quindra {

namespace {

// The notification's urgency hint: 1 normal, 2 critical.
constexpr unsigned char kNormal = 1;
constexpr unsigned char kCritical = 2;

void notify(const DesktopNotice& notice) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("urgency"), QVariant::fromValue(notice.urgent ? kCritical : kNormal)},
        {QStringLiteral("desktop-entry"), QStringLiteral("quindra")}};
    call << QStringLiteral("Quindra") << 0u << QStringLiteral("audio-speakers") << notice.summary
         << notice.body << QStringList() << hints << -1;
    // The reply, or the error of a bus without the service, is not waited for.
    bus.send(call);
}

}  // namespace

DBusNoticeSender::DBusNoticeSender() : inThread_(std::make_unique<QObject>()) {
    thread_.setObjectName(QStringLiteral("desktop-notices"));
    inThread_->moveToThread(&thread_);
    thread_.start();
}

DBusNoticeSender::~DBusNoticeSender() {
    thread_.quit();
    thread_.wait();
}

void DBusNoticeSender::send(const DesktopNotice& notice) {
    QMetaObject::invokeMethod(
        inThread_.get(), [notice] { notify(notice); }, Qt::QueuedConnection);
}

}  // namespace quindra
