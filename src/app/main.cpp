#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <csignal>

#include "app/MainForm.h"
#include "app/MessageBoxes.h"
#include "app/QtTranslations.h"
#include "app/SingleInstance.h"
#include "app/StatusLog.h"
#include "app/XcbHotKeyRegistrar.h"
#include "audio/pulse/PulseWaveControl.h"
#include "audio/pulse/SndfileProbe.h"
#include "config/Autostart.h"
#include "config/SqliteRegistry.h"
#include "core/Clock.h"
#include "core/QtEventLoop.h"
#include "rotation/LinuxFileOperations.h"
#include "status/IdleSource.h"
#include "status/LinuxSysInfo.h"

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
    const QString home = qEnvironmentVariable("QUINDRA_HOME");
    p.appDir = home.isEmpty() ? QCoreApplication::applicationDirPath() : QDir(home).absolutePath();
    if (!p.appDir.endsWith(QLatin1Char('/')))
        p.appDir += QLatin1Char('/');
    p.executablePath = QCoreApplication::applicationFilePath();
    p.defaultDropFolder = QDir::homePath() + QStringLiteral("/Vizudu Telefônica/");
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    SingleInstance instance;
    if (!instance.acquire())
        return 0;

    const bool headless = !hasDisplay();
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quindra"));
    // No display name: Qt would append it to every caption, and the boxes'
    // captions ("Confirmação") are exactly what they say.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtTranslations(OperatorLocale());

    // SIGTERM, SIGINT and SIGHUP (the end of the desktop session) act as a
    // request to close the window, so a service manager or a log-out stops
    // the program as an operator would.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        struct sigaction sa {};
        sa.sa_handler = onStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGHUP, &sa, nullptr);
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
    LinuxSysInfo sysInfo;
    QtIdleSource idle;

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
        .status = {.sysInfo = sysInfo, .idle = idle},
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

    TMainForm form(std::move(ports), /*withTray=*/!headless);
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
