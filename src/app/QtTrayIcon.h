#pragma once

#include <QObject>
#include <memory>

#include "app/TrayIcon.h"

class QMenu;
class QSystemTrayIcon;

namespace quindra {

// The tray icon on the desktop's notification area, with its menu.
class QtTrayIcon final : public QObject, public TrayIcon {
    Q_OBJECT
public:
    explicit QtTrayIcon(QObject* parent);
    ~QtTrayIcon() override;

    void setIconVisible(bool on) override;
    bool iconVisible() const override;
    void setEnabled(bool on) override;

private:
    QSystemTrayIcon* icon_;
    std::unique_ptr<QMenu> menu_;  // a tray menu is a top-level popup: no widget parent
    bool enabled_ = true;
};

}  // namespace quindra
