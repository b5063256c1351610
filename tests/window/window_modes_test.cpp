#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "core/VirtualEventLoop.h"
#include "support/Fakes.h"
#include "window/WindowModes.h"

using namespace quindra;
using namespace quindra::testing;
using Mode = WindowModes::Mode;

namespace {

class FakeModalWindow final : public ModalWindow {
public:
    void conceal() override { shown = false; }
    void reveal() override {
        shown = true;
        ++reveals;
    }
    void bringForward() override {
        if (shown)
            ++broughtForward;
    }
    bool shown = false;
    int reveals = 0;
    int broughtForward = 0;
};

struct Desktop {
    bool tray = true;              // the program made its icon
    bool notificationArea = true;  // a panel shows it now
    bool hotKey = true;            // the restore hot-key is registered
};

// The window as the run loop leaves it after the start mode.
struct Running {
    Running(bool startHidden, bool startMinimized, Desktop d = {})
        : hotKey(d.hotKey),
          modes(window, d.tray ? &tray : nullptr, loop,
                {.shutdown = [this] { ++shutdowns; },
                 .hotKeyRegistered = [this] { return hotKey; },
                 .manual = [this] { ++manuals; }}) {
        tray.notificationArea = d.notificationArea;
        modes.applyStartMode(startHidden, startMinimized);
        window.shown = modes.showOnRun();
    }
    VirtualEventLoop loop;
    FakeModalWindow window;
    FakeTray tray;
    bool hotKey;
    int shutdowns = 0;
    int manuals = 0;
    WindowModes modes;
};

struct StartCase {
    bool startHidden;
    bool startMinimized;
    Mode mode;
    bool shown;
    bool icon;
};

TEST(WindowModes, StartModeFollowsTheStoredFlagsAndHideModeWins) {
    for (const StartCase& c : {StartCase{false, false, Mode::Shown, true, true},
                               StartCase{false, true, Mode::InTray, false, true},
                               StartCase{true, false, Mode::Hidden, false, false},
                               StartCase{true, true, Mode::Hidden, false, false}}) {
        SCOPED_TRACE(::testing::Message() << c.startHidden << c.startMinimized);
        Running r(c.startHidden, c.startMinimized);
        EXPECT_EQ(r.modes.mode(), c.mode);
        EXPECT_EQ(r.modes.showOnRun(), c.shown);
        EXPECT_EQ(r.tray.visible, c.icon);
        EXPECT_TRUE(r.modes.minimizeToTray());
    }
}

enum class Event { MinimiseBox, Minimizar, Ocultar, DoubleClick, Maximizar, HotKey };

const char* name(Event e) {
    switch (e) {
        case Event::MinimiseBox:
            return "minimise box";
        case Event::Minimizar:
            return "Minimizar";
        case Event::Ocultar:
            return "Ocultar";
        case Event::DoubleClick:
            return "double-click";
        case Event::Maximizar:
            return "Maximizar";
        case Event::HotKey:
            return "hot-key";
    }
    return "?";
}

void send(Running& r, Event e) {
    switch (e) {
        case Event::MinimiseBox:
            r.modes.minimizeBoxPressed();
            return;
        case Event::Minimizar:
            return r.tray.onMinimize();
        case Event::Ocultar:
            return r.tray.onHide();
        case Event::DoubleClick:
            return r.tray.onDoubleClick();
        case Event::Maximizar:
            return r.tray.onShow();
        case Event::HotKey:
            return r.modes.hotKeyPressed();
    }
}

struct Transition {
    Mode from;
    Event event;
    Mode to;
};

void PrintTo(const Transition& t, std::ostream* os) {
    *os << static_cast<int>(t.from) << " + " << name(t.event);
}

class ModeTransitions : public ::testing::TestWithParam<Transition> {};

// Each mode as the window, the taskbar and the icon show it, and the
// window brought forward whenever an event shows it.
TEST_P(ModeTransitions, LeadToTheirMode) {
    const Transition& t = GetParam();
    Running r(t.from == Mode::Hidden, t.from == Mode::InTray);
    ASSERT_EQ(r.modes.mode(), t.from);

    send(r, t.event);

    EXPECT_EQ(r.modes.mode(), t.to);
    EXPECT_EQ(r.window.shown, t.to == Mode::Shown);
    EXPECT_EQ(r.tray.visible, t.to != Mode::Hidden);
    const bool reveals =
        t.event == Event::DoubleClick || t.event == Event::Maximizar || t.event == Event::HotKey;
    EXPECT_EQ(r.window.reveals, reveals ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ModeTransitions,
    ::testing::Values(Transition{Mode::Shown, Event::MinimiseBox, Mode::InTray},
                      Transition{Mode::Shown, Event::Minimizar, Mode::InTray},
                      Transition{Mode::InTray, Event::Minimizar, Mode::InTray},
                      Transition{Mode::Shown, Event::Ocultar, Mode::Hidden},
                      Transition{Mode::InTray, Event::Ocultar, Mode::Hidden},
                      Transition{Mode::InTray, Event::DoubleClick, Mode::Shown},
                      Transition{Mode::InTray, Event::Maximizar, Mode::Shown},
                      Transition{Mode::InTray, Event::HotKey, Mode::Shown},
                      Transition{Mode::Hidden, Event::HotKey, Mode::Shown},
                      Transition{Mode::Shown, Event::DoubleClick, Mode::Shown},
                      Transition{Mode::Shown, Event::Maximizar, Mode::Shown},
                      Transition{Mode::Shown, Event::HotKey, Mode::Shown}));

TEST(WindowModes, WithoutANotificationAreaTheMinimiseBoxKeepsTheWindowAndTheHotKeyRestores) {
    Running r(false, false, {.tray = false});
    EXPECT_FALSE(r.modes.minimizeBoxPressed());
    EXPECT_TRUE(r.window.shown);

    // The icon exists but no panel shows it yet: minimising would lose the
    // window, so it stays on the taskbar.
    Running noPanel(false, false, {.notificationArea = false});
    EXPECT_FALSE(noPanel.modes.minimizeBoxPressed());
    EXPECT_TRUE(noPanel.window.shown);

    Running hidden(true, false, {.tray = false});
    EXPECT_FALSE(hidden.window.shown);
    hidden.modes.hotKeyPressed();
    EXPECT_TRUE(hidden.window.shown);
}

struct WayBackCase {
    const char* desktop;
    bool startHidden, startMinimized;
    Desktop d;
    Mode mode;
};

// A mode is only entered while there is a way back from it.
TEST(WindowModes, StartModeFallsBackToAModeWithAWayBack) {
    for (const WayBackCase& c : {
             WayBackCase{"hidden, hot-key refused", true, false, {.hotKey = false}, Mode::InTray},
             WayBackCase{"hidden, hot-key refused, no panel yet",
                         true,
                         false,
                         {.notificationArea = false, .hotKey = false},
                         Mode::Shown},
             // A panel that comes up after the program will show the icon; the
             // hot-key is the way back until then.
             WayBackCase{"in the tray, no panel yet",
                         false,
                         true,
                         {.notificationArea = false},
                         Mode::InTray},
             WayBackCase{"in the tray, no panel, hot-key refused",
                         false,
                         true,
                         {.notificationArea = false, .hotKey = false},
                         Mode::Shown},
             WayBackCase{"in the tray without any icon",
                         false,
                         true,
                         {.tray = false, .hotKey = false},
                         Mode::Shown},
         }) {
        SCOPED_TRACE(c.desktop);
        Running r(c.startHidden, c.startMinimized, c.d);
        EXPECT_EQ(r.modes.mode(), c.mode);
        EXPECT_EQ(r.modes.showOnRun(), c.mode == Mode::Shown);
        if (c.d.tray) {
            EXPECT_TRUE(r.tray.visible);
        }
    }

    // "Ocultar" without a hot-key leaves the icon as the way back.
    Running r(false, false, {.hotKey = false});
    r.tray.onHide();
    EXPECT_EQ(r.modes.mode(), Mode::InTray);
    EXPECT_FALSE(r.window.shown);
    EXPECT_TRUE(r.tray.visible);
}

TEST(WindowModes, TheIconTurnsEveryFourHundredMillisecondsWhetherShownOrNot) {
    Running r(true, false);
    ASSERT_FALSE(r.tray.visible);
    EXPECT_EQ(r.tray.frames, std::vector<int>{0});
    r.loop.advance(399);
    EXPECT_EQ(r.tray.frames, std::vector<int>{0});
    r.loop.advance(1);
    r.loop.advance(800);
    EXPECT_EQ(r.tray.frames, (std::vector<int>{0, 1, 2, 0}));

    r.modes.disableTray();
    r.loop.advance(4000);
    EXPECT_EQ(r.tray.frames.size(), 4u);
}

TEST(WindowModes, TheRightButtonBringsTheWindowForwardBeforeTheMenu) {
    Running shown(false, false);
    shown.tray.onMenuRequested();
    EXPECT_EQ(shown.window.broughtForward, 1);
    EXPECT_EQ(shown.modes.mode(), Mode::Shown);

    // In the tray the window stays where it is; only the menu opens.
    Running inTray(false, true);
    inTray.tray.onMenuRequested();
    EXPECT_FALSE(inTray.window.shown);
    EXPECT_EQ(inTray.window.reveals, 0);
}

TEST(WindowModes, FecharAsksForTheShutdownAndADisabledIconIgnoresTheMouse) {
    Running r(false, true);
    r.tray.onClose();
    EXPECT_EQ(r.shutdowns, 1);
    r.tray.onManual();
    EXPECT_EQ(r.manuals, 1);

    r.modes.disableTray();
    EXPECT_FALSE(r.tray.enabled);
    r.tray.onDoubleClick();
    r.tray.onShow();
    r.tray.onClose();
    r.tray.onManual();
    EXPECT_FALSE(r.window.shown);
    EXPECT_EQ(r.modes.mode(), Mode::InTray);
    EXPECT_EQ(r.shutdowns, 1);
    EXPECT_EQ(r.manuals, 1);
}

}  // namespace
