#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "app/WindowModes.h"
#include "support/Fakes.h"

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
    bool shown = false;
    int reveals = 0;
};

// The window as the run loop leaves it after the start mode.
struct Running {
    Running(bool hideMode, bool estadoJanela, bool withTray = true)
        : modes(window, withTray ? &tray : nullptr, [this] { ++shutdowns; }) {
        modes.applyStartMode(hideMode, estadoJanela);
        window.shown = modes.showOnRun();
    }
    FakeModalWindow window;
    FakeTray tray;
    int shutdowns = 0;
    WindowModes modes;
};

struct StartCase {
    bool hideMode;
    bool estadoJanela;
    Mode mode;
    bool shown;
    bool icon;
};

TEST(WindowModes, StartModeFollowsTheStoredFlagsAndHideModeWins) {
    for (const StartCase& c : {StartCase{false, false, Mode::Shown, true, true},
                               StartCase{false, true, Mode::InTray, false, true},
                               StartCase{true, false, Mode::Hidden, false, false},
                               StartCase{true, true, Mode::Hidden, false, false}}) {
        SCOPED_TRACE(::testing::Message() << c.hideMode << c.estadoJanela);
        Running r(c.hideMode, c.estadoJanela);
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
            return r.tray.onMinimizar();
        case Event::Ocultar:
            return r.tray.onOcultar();
        case Event::DoubleClick:
            return r.tray.onDoubleClick();
        case Event::Maximizar:
            return r.tray.onMaximizar();
        case Event::HotKey:
            return r.modes.GlobalHotKey1HotKey();
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
    Running r(false, false, /*withTray=*/false);
    EXPECT_FALSE(r.modes.minimizeBoxPressed());
    EXPECT_TRUE(r.window.shown);

    Running hidden(true, false, /*withTray=*/false);
    EXPECT_FALSE(hidden.window.shown);
    hidden.modes.GlobalHotKey1HotKey();
    EXPECT_TRUE(hidden.window.shown);
}

TEST(WindowModes, FecharAsksForTheShutdownAndADisabledIconIgnoresTheMouse) {
    Running r(false, true);
    r.tray.onFechar();
    EXPECT_EQ(r.shutdowns, 1);

    r.modes.disableTray();
    EXPECT_FALSE(r.tray.enabled);
    r.tray.onDoubleClick();
    EXPECT_FALSE(r.window.shown);
    EXPECT_EQ(r.modes.mode(), Mode::InTray);
}

}  // namespace
