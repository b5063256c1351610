#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>
#include <memory>

#include "app/Shell.h"

class QTabWidget;
class QToolButton;

namespace quindra {

class AlertWindow;
class HotKeyEdit;
class QtTrayIcon;
class StatusPanelView;
class MonitorView;

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
class StatusMemo;

// The main window: builds the widgets of both pages and hands their events
// to the shell, which decides.
class TMainForm final : public QWidget, public ShellWindow {
    Q_OBJECT
public:
    // Builds the widgets, then runs the start-up sequence. withTray: the
    // program has a desktop, whose notification area may come up later.
    TMainForm(ShellPorts ports, bool withTray);
    ~TMainForm() override;

    Shell& shell() { return *shell_; }
    QTabWidget* pages() const { return pages_; }
    QtTrayIcon* trayIcon() const { return tray_; }

    // FormView
    void setFieldText(Field f, const QString& text) override;
    QString fieldText(Field f) const override;
    void setChecked(Box b, bool on) override;
    bool checked(Box b) const override;
    void setHotKey(ShortCut key) override;
    ShortCut hotKey() const override;
    void setLabel(Label l, const QString& text) override;
    QString label(Label l) const override;

    // ShellWindow
    LogView& logView() override;
    StatusView& statusView() override;
    TrayIcon* tray() override;
    void setViewsSource(WaveControl* control) override;
    Alert& alert() override;
    void conceal() override;
    void reveal() override;
    void bringForward() override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    QWidget* buildHeader();
    QWidget* buildMainPage();
    QWidget* buildSettingsPage();
    QLineEdit* addField(Field f, const QString& objectName, QLineEdit* edit = nullptr);
    void browseForDropFile();
    QCheckBox* addBox(Box b, const QString& objectName, const QString& caption);
    QLabel* addLabel(Label l, const QString& objectName);

    QHash<Field, QLineEdit*> fields_;
    QHash<Box, QCheckBox*> boxes_;
    QHash<Label, QLabel*> labels_;
    HotKeyEdit* hotKey_ = nullptr;
    StatusMemo* memo_ = nullptr;
    StatusPanelView* statusPanel_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QtTrayIcon* tray_ = nullptr;
    MonitorView* spectrum_ = nullptr;
    MonitorView* wave_ = nullptr;
    MonitorView* volume_ = nullptr;
    std::unique_ptr<AlertWindow> alert_;  // a window of its own, no widget parent
    std::unique_ptr<Shell> shell_;
};

}  // namespace quindra
