#pragma once

#include <QDir>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "app/Shell.h"
#include "config/SqliteRegistry.h"
#include "core/VirtualEventLoop.h"
#include "support/FakeDevices.h"
#include "support/FakeFiles.h"
#include "support/FakeWaveControl.h"
#include "support/Fakes.h"
#include "support/RecordingRegistry.h"

namespace quindra::testing {

// Everything the shell runs on, as fakes, with a real settings store and the
// program's folders in a temporary folder: the program in app/, the home
// folder in home/.
struct ShellRig {
    ShellRig() {
        QDir(tmp.path()).mkpath(QStringLiteral("home"));
        paths.appDir = tmp.path() + QStringLiteral("/app/");
        paths.executablePath = paths.appDir + QStringLiteral("espera");
        paths.homeFolder = tmp.path() + QStringLiteral("/home");
        paths.defaultDropFolder = paths.homeFolder + QStringLiteral("/Vizudu Telefônica/");
        registry = std::make_unique<SqliteRegistry>(tmp.path() + QStringLiteral("/registry.db"));
    }

    ShellPorts ports() {
        return ShellPorts{
            .platform = {.loop = loop,
                         .registry = recorder,
                         .clock = clock,
                         .formats = LocaleFormats(QLocale(QStringLiteral("pt_BR"))),
                         .paths = paths,
                         .boxes = boxes,
                         .autostart = autostart,
                         .hotKeys = hotKeys,
                         .echo = [this](const QString& line) { echoed << line; }},
            .audio = {.player = player, .monitor = monitor, .lister = lister},
            .rotation = {.files = files, .probe = probe},
            .hardware = {.devices = devices},
            .status = {.sysInfo = sysInfo, .idle = idle},
        };
    }

    QTemporaryDir tmp;
    Paths paths;
    std::unique_ptr<SqliteRegistry> registry;
    // The store as the shell reaches it, noting each value written.
    RecordingRegistry<SqliteRegistry> recorder{registry};
    VirtualEventLoop loop;
    FakeClock clock{QDateTime(QDate(2026, 12, 10), QTime(14, 5, 33))};
    FakeBoxes boxes;
    FakeAutostart autostart;
    FakeRegistrar hotKeys;
    FakeWaveControl player, monitor, lister;
    FakeFileOperations files;
    FakeAudioProbe probe;
    FakeDevicePlatform devices;
    FakeSysInfo sysInfo;
    FakeIdle idle;
    QStringList echoed;
};

}  // namespace quindra::testing
