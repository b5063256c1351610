#include "window/QtTrayIcon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

#include "window/Artwork.h"

namespace quindra {

namespace {

void call(const std::function<void()>& f) {
    if (f)
        f();
}

}  // namespace

QtTrayIcon::QtTrayIcon(QObject* parent)
    : QObject(parent),
      frames_{TrayIconFrame(0), TrayIconFrame(1), TrayIconFrame(2)},
      icon_(new QSystemTrayIcon(frames_[0], this)),
      menu_(std::make_unique<QMenu>()) {
    menu_->setObjectName(QStringLiteral("trayMenu"));
    menu_->addAction(MenuGlyph(0), QStringLiteral("Maximizar"), this, [this] { call(onShow); })
        ->setObjectName(QStringLiteral("showItem"));
    menu_->addAction(MenuGlyph(1), QStringLiteral("Minimizar"), this, [this] { call(onMinimize); })
        ->setObjectName(QStringLiteral("minimizeItem"));
    menu_->addAction(QStringLiteral("Ocultar"), this, [this] { call(onHide); })
        ->setObjectName(QStringLiteral("hideItem"));
    menu_->addSeparator();
    menu_->addAction(MenuGlyph(3), QStringLiteral("Manual"), this, [this] { call(onManual); })
        ->setObjectName(QStringLiteral("manualItem"));
    menu_->addSeparator();
    menu_->addAction(MenuGlyph(2), QStringLiteral("Fechar"), this, [this] { call(onClose); })
        ->setObjectName(QStringLiteral("closeItem"));
    // The menu is opened here rather than by Qt, so that the window comes
    // forward before it, and not at all once the icon is disabled.
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (!enabled_)
            return;
        if (r == QSystemTrayIcon::DoubleClick) {
            call(onDoubleClick);
        } else if (r == QSystemTrayIcon::Context) {
            call(onMenuRequested);
            menu_->popup(QCursor::pos());
        }
    });
}

QtTrayIcon::~QtTrayIcon() = default;

void QtTrayIcon::setIconVisible(bool on) {
    icon_->setVisible(on);
}

bool QtTrayIcon::iconVisible() const {
    return icon_->isVisible();
}

bool QtTrayIcon::inNotificationArea() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::setFrame(int frame) {
    icon_->setIcon(frames_[static_cast<std::size_t>(frame) % frames_.size()]);
}

void QtTrayIcon::setEnabled(bool on) {
    enabled_ = on;
    menu_->setEnabled(on);
    if (!on)
        menu_->hide();
}

}  // namespace quindra
