#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include "window/QtTrayIcon.h"

using namespace quindra;

namespace {

// The icon as the desktop drives it: its double-click and right button, and
// the items of its menu. Once the program is closing (the icon disabled), no
// click acts any more and the menu neither opens nor offers its items.
TEST(QtTrayIcon, ClicksActUntilTheIconIsDisabledAtExit) {
    QtTrayIcon tray(nullptr);
    auto* icon = tray.findChild<QSystemTrayIcon*>();
    ASSERT_NE(icon, nullptr);
    QStringList acted;
    tray.onDoubleClick = [&] { acted << QStringLiteral("double-click"); };
    tray.onMenuRequested = [&] { acted << QStringLiteral("menu"); };
    tray.onClose = [&] { acted << QStringLiteral("Fechar"); };
    QAction* close = tray.menu()->findChild<QAction*>(QStringLiteral("closeItem"));
    ASSERT_NE(close, nullptr);

    emit icon->activated(QSystemTrayIcon::DoubleClick);
    emit icon->activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(tray.menu()->isVisible());
    close->trigger();
    EXPECT_EQ(acted, (QStringList{"double-click", "menu", "Fechar"}));

    tray.setEnabled(false);
    EXPECT_FALSE(tray.menu()->isVisible());
    emit icon->activated(QSystemTrayIcon::DoubleClick);
    emit icon->activated(QSystemTrayIcon::Context);
    emit icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(tray.menu()->isVisible());
    EXPECT_FALSE(tray.menu()->isEnabled());
    EXPECT_EQ(acted.size(), 3) << acted.join(' ').toStdString();
}

}  // namespace
