#pragma once

#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "app/Shell.h"
#include "config/Conversions.h"
#include "support/FakeAutostart.h"
#include "support/FakeClock.h"
#include "support/FakeDevices.h"
#include "support/FakeStatus.h"
#include "window/GlobalHotKey.h"
#include "window/MessageBoxes.h"
#include "window/StatusLog.h"
#include "window/TrayIcon.h"

namespace quindra::testing {

class FakeBoxes final : public MessageBoxes {
public:
    void showError(const QString& text) override { errors << text; }
    bool confirm(const QString& caption, const QString& text) override {
        questions << caption + QStringLiteral(": ") + text;
        return answer;
    }
    void showInfo(const QString& text) override { infos << text; }
    QStringList errors;
    QStringList infos;
    QStringList questions;
    bool answer = false;
};

class FakeRegistrar final : public HotKeyRegistrar {
public:
    bool grab(ShortCut key, std::function<void()> onPress) override {
        grabbed = key;
        press = std::move(onPress);
        return accepts;
    }
    void release() override {
        released = true;
        press = nullptr;
    }
    bool available() const override { return desktop; }
    bool accepts = true;
    bool desktop = true;
    ShortCut grabbed = 0;
    bool released = false;
    std::function<void()> press;
};

// Rows are lines; a line longer than `width` characters wraps.
class FakeLogView final : public LogView {
public:
    void appendLine(const QString& line) override {
        if (failing)
            throw std::runtime_error("box is gone");
        lines << line;
    }
    int displayedRows() const override {
        int rows = 0;
        for (const QString& l : lines)
            rows += std::max<int>(1, (l.size() + width - 1) / width);
        return rows;
    }
    void clearLines() override { lines.clear(); }
    QStringList lines;
    int width = 100;
    bool failing = false;
};

class FakeTray final : public TrayIcon {
public:
    void setIconVisible(bool on) override { visible = on; }
    bool iconVisible() const override { return visible; }
    bool inNotificationArea() const override { return notificationArea; }
    void setFrame(int frame) override { frames.push_back(frame); }
    void setEnabled(bool on) override { enabled = on; }
    void showLine(bool onAir, const QString& tip) override {
        lineOnAir = onAir;
        toolTip = tip;
    }
    bool visible = false;
    bool lineOnAir = true;
    QString toolTip;
    bool enabled = true;
    bool notificationArea = true;
    std::vector<int> frames;
};

// The main window as plain values: what the program showed it, and the
// operator's edits of the settings page, passed on as the page's presenter
// passes them (a failure goes to the error box).
class FakeWindow final : public ProgramWindow {
public:
    Shell* shell = nullptr;

    // Text typed into a field: only a real change reaches the program.
    void edit(Field f, const QString& text) {
        if (settings.fields.value(f) == text)
            return;
        settings.fields[f] = text;
        if (shell)
            shell->errors().guard([&] { shell->settings().fieldChanged(f, text); });
    }
    // The text of the page's mail settings for the "Teste" button.
    MailSettings mailSettings() const {
        MailSettings s;
        s.recipient = settings.fields.value(Field::Recipient);
        s.sender = settings.fields.value(Field::Sender);
        s.server.host = settings.fields.value(Field::SmtpServer);
        s.server.port = StrToInt(settings.fields.value(Field::SmtpPort));
        s.server.user = settings.fields.value(Field::SmtpUser);
        s.server.password = settings.fields.value(Field::SmtpPassword);
        s.secure = settings.boxes.value(Box::SecureMail);
        return s;
    }
    // The test runs on a thread of its own and hands its ending to the loop:
    // the press returns once the test has ended.
    void pressTest() {
        if (!shell)
            return;
        bool started = false;
        bool ended = false;
        shell->errors().guard([&] {
            started = shell->settings().sendTestMail(mailSettings(), [&ended] { ended = true; });
        });
        while (started && !ended) {
            shell->mail().loop().processPendingMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    void showSettings(const PageSettings& page) override { settings = page; }
    void showOnAir(const MessageOnAir& onAir) override { onAirShown = onAir; }
    void showLine(const LineState& line) override { lineStates.push_back(line); }
    // The name the main page shows for the message on air.
    QString onAirFile() const { return QFileInfo(onAirShown.file).fileName(); }

    LogView& logView() override { return log; }
    StatusView& statusView() override { return status; }
    TrayIcon* tray() override { return hasTray ? &trayIcon : nullptr; }
    void setViewsSource(WaveControl* control) override { viewSources.push_back(control); }
    Alert& alert() override { return alertWindow; }
    void conceal() override { shown = false; }
    void reveal() override {
        shown = true;
        ++reveals;
    }
    void bringForward() override {
        if (shown)
            ++broughtForward;
    }

    PageSettings settings;
    MessageOnAir onAirShown;
    std::vector<LineState> lineStates;  // each state of the line shown
    FakeLogView log;
    FakeStatusView status;
    bool hasTray = true;
    FakeTray trayIcon;
    bool shown = false;
    int reveals = 0;
    int broughtForward = 0;
    std::vector<WaveControl*> viewSources;
    FakeAlert alertWindow;
};

}  // namespace quindra::testing
