#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>
#include <memory>

#include "window/ProgramWindow.h"
#include "window/SettingsPresenter.h"

class QTabWidget;
class QToolButton;

namespace quindra {

class AlertWindow;
class ErrorHandler;
class HotKeyEdit;
class QtTrayIcon;
class MonitorView;
class SettingsTarget;
class StatusPanelView;

// A group box that reports a click anywhere on it.
class ClickableGroupBox final : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        QGroupBox::mouseReleaseEvent(e);
        if (rect().contains(e->position().toPoint()))
            emit clicked();
    }
};
class SettingsPresenter;
class StatusLogView;
class WindowCommands;

// The main window: builds the widgets of both pages, shows what the program
// hands it and passes the operator's requests on; the program decides.
class MainWindow final : public QWidget, public ProgramWindow {
    Q_OBJECT
public:
    // Where the window is drawn. Without a display (Qt's offscreen platform)
    // nothing is: the window never shows, whatever asks it to, the monitoring
    // views are never fed and the alert never pops up. The status log and
    // panel still take what they are given.
    enum class Output { Screen, NoDisplay };

    // withTray: the program has a desktop, whose notification area may come
    // up later.
    explicit MainWindow(bool withTray, Output output = Output::Screen);
    ~MainWindow() override;

    // The controls act on the program from now on; until then, and after
    // disconnectFrom, they change nothing.
    void connectTo(WindowCommands& commands, SettingsTarget& settings, ErrorHandler& errors);
    void disconnectFrom();

    QTabWidget* pages() const { return pages_; }
    QtTrayIcon* trayIcon() const { return tray_; }

    // ProgramWindow
    LogView& logView() override;
    StatusView& statusView() override;
    TrayIcon* tray() override;
    void setViewsSource(WaveControl* control) override;
    Alert& alert() override;
    void showSettings(const PageSettings& page) override;
    void showOnAir(const MessageOnAir& onAir) override;
    void showLine(const LineState& line) override;
    void conceal() override;
    void reveal() override;
    void bringForward() override;

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    QWidget* buildHeader();
    QWidget* buildMainPage();
    QWidget* buildSettingsPage();
    QLineEdit* addField(Field f, const QString& objectName, QLineEdit* edit = nullptr);
    QCheckBox* addBox(Box b, const QString& objectName, const QString& caption);
    QLabel* addValueLabel(const QString& objectName);

    SettingsPresenter::Page page_;
    SettingsPresenter* presenter_ = nullptr;
    WindowCommands* commands_ = nullptr;
    // The line's state, at the top of the main page.
    QLabel* lineBand_ = nullptr;
    QIcon onAirIcon_;
    QIcon offAirIcon_;
    // The main page's account of the messages.
    QLabel* onAirFile_ = nullptr;
    QLabel* onAirSince_ = nullptr;
    QLabel* previousFile_ = nullptr;
    QLabel* previousSince_ = nullptr;
    QLabel* previousUntil_ = nullptr;
    StatusLogView* memo_ = nullptr;
    StatusPanelView* statusPanel_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QtTrayIcon* tray_ = nullptr;
    MonitorView* spectrum_ = nullptr;
    MonitorView* wave_ = nullptr;
    MonitorView* level_ = nullptr;
    const Output output_;
    std::unique_ptr<AlertWindow> alert_;  // a window of its own, no widget parent
    std::unique_ptr<Alert> unseenAlert_;  // in its place without a display
};

}  // namespace quindra
