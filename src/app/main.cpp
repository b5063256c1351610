#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/AppFolder.h"
#include "app/Artwork.h"
#include "app/MainForm.h"
#include "app/MessageBoxes.h"
#include "app/SingleInstance.h"
#include "app/StatusLog.h"
#include "app/XcbHotKeyRegistrar.h"
#include "audio/pulse/PulseWaveControl.h"
#include "audio/pulse/SndfileProbe.h"
#include "config/Autostart.h"
#include "config/SqliteRegistry.h"
#include "core/Clock.h"
#include "core/QtEventLoop.h"
#include "hardware/udev/UdevDevices.h"
#include "rotation/LinuxFileOperations.h"

using namespace quindra;

namespace {

int signalPipe[2] = {-1, -1};

void onStopSignal(int) {
    const char c = 1;
    [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The user's regional settings; a system with none (the "C" locale of a
// bare service account) gets the Brazilian forms the operators read.
QLocale OperatorLocale() {
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        return QLocale(QLocale::Portuguese, QLocale::Brazil);
    return system;
}

Paths programPaths() {
    Paths p;
    p.appDir =
        AppFolder(QCoreApplication::applicationDirPath(), qEnvironmentVariable("QUINDRA_HOME"),
                  QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    p.executablePath = QCoreApplication::applicationFilePath();
    p.defaultDropFolder = QDir::homePath() + QStringLiteral("/Vizudu Telefônica/");
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before anything else: no display, sound server or lock needed.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("espera (Quindra) %s\n", QUINDRA_VERSION);
        return 0;
    }

    SingleInstance instance;
    if (!instance.acquire())
        return 0;

    const bool headless = !hasDisplay();
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quindra"));
    QApplication::setApplicationDisplayName(kAppTitle);
    QApplication::setQuitOnLastWindowClosed(false);
    // The desktop's menu entry and the session's window list name the same
    // program, with its own icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("br.com.vizudu.quindra"));
    QApplication::setWindowIcon(ProgramIcon());

    // SIGTERM and SIGINT act as a request to close the window, so a service
    // manager stops the program as an operator would.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        struct sigaction sa {};
        sa.sa_handler = onStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
    }

    QtEventLoop loop;
    SqliteRegistry registry(SqliteRegistry::defaultFile());
    SystemClock clock;
    QtMessageBoxes boxes(headless);
    const Paths paths = programPaths();
    XdgAutostartFile autostart(XdgAutostartFile::defaultFile(), paths.executablePath);
    XcbHotKeyRegistrar hotKeys;
    // One sound-server connection, shared by the player, the capture
    // monitor and the device lister.
    auto pulse = std::make_shared<pulse::PulseConnection>(loop);
    pulse::PulseWaveControl PlayC1(pulse), wCanal1(pulse), WaveControl1(pulse);
    LinuxFileOperations files;
    pulse::SndfileProbe probe;
    udev::UdevDevices devices(loop);

    ShellPorts ports{
        .platform = {.loop = loop,
                     .registry = registry,
                     .clock = clock,
                     .formats = LocaleFormats(OperatorLocale()),
                     .paths = paths,
                     .boxes = boxes,
                     .autostart = autostart,
                     .hotKeys = hotKeys,
                     .echo = EchoToStdout},
        .audio = {.PlayC1 = PlayC1, .wCanal1 = wCanal1, .WaveControl1 = WaveControl1},
        .rotation = {.files = files, .probe = probe},
        .hardware = {.devices = devices},
    };
    // A stop can come while the window is still being built, even while a
    // start-up box waits for an operator who is not there: it closes the box,
    // shows no more, and ends the program once start-up is over.
    bool stopRequested = false;
    TMainForm* formReady = nullptr;
    QSocketNotifier stopNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, [&] {
        char c;
        [[maybe_unused]] auto n = ::read(signalPipe[0], &c, 1);
        stopRequested = true;
        boxes.stop();
        if (formReady)
            formReady->shell().FormCloseQuery();
        QCoreApplication::quit();
    });

    const bool tray = !headless && QSystemTrayIcon::isSystemTrayAvailable();
    TMainForm form(std::move(ports), tray);
    formReady = &form;
    if (stopRequested)
        form.shell().FormCloseQuery();

    if (form.shell().showOnRun())
        form.show();
    // Signals that came in while the window was being built are handled now.
    QCoreApplication::processEvents();
    if (!stopRequested)
        app.exec();
    return 0;
}
