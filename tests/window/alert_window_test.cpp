#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "support/ShellRig.h"
#include "window/AlertWindow.h"
#include "window/MainWindow.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

// The window that slides in when the hold hardware is plugged in.
class AlertWindowTest : public ::testing::Test, protected ShellRig {
protected:
    static AlertWindow* shownAlert() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* a = qobject_cast<AlertWindow*>(w); a && a->isVisible())
                return a;
        }
        return nullptr;
    }
};

TEST_F(AlertWindowTest, TheHoldHardwareArrivingPopsTheNoticeWhichItsCloseButtonHides) {
    MainWindow form(false);
    Shell shell(ports(), form);
    shell.start();
    ASSERT_EQ(shownAlert(), nullptr);
    devices.usb(UsbChange::Arrival, kHoldHardwareUsbId);

    AlertWindow* alert = shownAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->windowTitle(), QStringLiteral("Aviso"));
    EXPECT_EQ(alert->findChild<QLabel*>(QStringLiteral("caption"))->text(),
              QStringLiteral("Aviso"));
    EXPECT_EQ(alert->findChild<QLabel*>(QStringLiteral("text"))->text(),
              QStringLiteral("Canal 1 localizado e conectado com sucesso."));
    auto* close = alert->findChild<QToolButton*>(QStringLiteral("close"));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->accessibleName(), QStringLiteral("Fechar"));
    close->click();
    EXPECT_FALSE(alert->isVisible());
}

TEST_F(AlertWindowTest, TheNoticeHidesItselfAndPoppingUpAgainGivesItItsTimeAgain) {
    AlertWindow alert(300);
    alert.setText(QStringLiteral("Canal 1 localizado e conectado com sucesso."));
    alert.popUp();
    QTest::qWait(200);
    alert.popUp();
    QTest::qWait(200);
    EXPECT_TRUE(alert.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !alert.isVisible(); }, 2000));
}

}  // namespace
