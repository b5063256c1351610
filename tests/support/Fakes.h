#pragma once

#include <QHash>
#include <QStringList>
#include <functional>
#include <vector>

#include "app/GlobalHotKey.h"
#include "app/MessageBoxes.h"
#include "app/Shell.h"
#include "app/StatusLog.h"
#include "app/TrayIcon.h"
#include "support/FakeAutostart.h"
#include "support/FakeClock.h"
#include "support/FakeDevices.h"
#include "support/FakeStatus.h"

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
    bool visible = false;
    bool enabled = true;
    bool notificationArea = true;
    std::vector<int> frames;
};

// The window's controls as plain values. Like the real widgets, a change to
// a different value runs the control's handler through the shell.
class FakeWindow final : public ShellWindow {
public:
    Shell* shell = nullptr;

    void setFieldText(Field f, const QString& text) override {
        if (fields.value(f) == text)
            return;
        fields[f] = text;
        ++handlerRuns;
        if (shell)
            shell->onFieldChanged(f, text);
    }
    QString fieldText(Field f) const override { return fields.value(f); }
    void setChecked(Box b, bool on) override {
        if (boxes.value(b) == on)
            return;
        boxes[b] = on;
        ++handlerRuns;
        if (shell)
            shell->onBoxClicked(b, on);
    }
    bool checked(Box b) const override { return boxes.value(b); }
    // Shown without running the handler, as the real field does.
    void setHotKey(ShortCut key) override { hotKeyValue = key; }
    // A combination pressed in the field.
    void pressHotKey(ShortCut key) {
        if (key == hotKeyValue)
            return;
        hotKeyValue = key;
        ++handlerRuns;
        if (shell)
            shell->onHotKeyChanged(key);
    }
    ShortCut hotKey() const override { return hotKeyValue; }
    void setLabel(Label l, const QString& text) override { labels[l] = text; }
    QString label(Label l) const override { return labels.value(l); }

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

    QHash<Field, QString> fields;
    QHash<Box, bool> boxes;
    QHash<Label, QString> labels;
    ShortCut hotKeyValue = kDefaultHotKey;
    int handlerRuns = 0;
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
