#pragma once

#include <QIcon>
#include <QObject>
#include <array>
#include <memory>

#include "window/TrayIcon.h"

class QMenu;
class QSystemTrayIcon;

namespace quindra {

// The tray icon on the desktop's notification area, with its menu. Qt adds
// the icon again whenever a notification area comes up, so the icon made at
// start shows even on a panel that starts after the program.
class QtTrayIcon final : public QObject, public TrayIcon {
    Q_OBJECT
public:
    explicit QtTrayIcon(QObject* parent);
    ~QtTrayIcon() override;

    void setIconVisible(bool on) override;
    bool iconVisible() const override;
    bool inNotificationArea() const override;
    void setFrame(int frame) override;
    void setEnabled(bool on) override;
    void showLine(bool onAir, const QString& toolTip) override;

    QMenu* menu() const { return menu_.get(); }

private:
    std::array<QIcon, 3> frames_;
    std::array<QIcon, 3> offAirFrames_;
    bool onAir_ = true;
    std::size_t frame_ = 0;
    QSystemTrayIcon* icon_;
    std::unique_ptr<QMenu> menu_;  // a tray menu is a top-level popup: no widget parent
    bool enabled_ = true;
};

}  // namespace quindra
