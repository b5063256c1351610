#include "app/QtTrayIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include "app/Artwork.h"

namespace quindra {

namespace {

void call(const std::function<void()>& f) {
    if (f)
        f();
}

}  // namespace

QtTrayIcon::QtTrayIcon(QObject* parent)
    : QObject(parent),
      icon_(new QSystemTrayIcon(TrayIconFrame(0), this)),
      menu_(std::make_unique<QMenu>()) {
    menu_->addAction(QStringLiteral("Maximizar"), this, [this] { call(onMaximizar); });
    menu_->addAction(QStringLiteral("Minimizar"), this, [this] { call(onMinimizar); });
    menu_->addAction(QStringLiteral("Ocultar"), this, [this] { call(onOcultar); });
    menu_->addSeparator();
    menu_->addAction(QStringLiteral("Manual"));
    menu_->addSeparator();
    menu_->addAction(QStringLiteral("Fechar"), this, [this] { call(onFechar); });
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (enabled_ && r == QSystemTrayIcon::DoubleClick)
            call(onDoubleClick);
    });
}

QtTrayIcon::~QtTrayIcon() = default;

void QtTrayIcon::setIconVisible(bool on) {
    icon_->setVisible(on);
}

bool QtTrayIcon::iconVisible() const {
    return icon_->isVisible();
}

void QtTrayIcon::setEnabled(bool on) {
    enabled_ = on;
    menu_->setEnabled(on);
}

}  // namespace quindra
