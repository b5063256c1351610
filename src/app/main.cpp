#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "app/MainForm.h"
#include "app/MessageBoxes.h"
#include "app/SingleInstance.h"
#include "app/StatusLog.h"
#include "config/Autostart.h"
#include "config/SqliteRegistry.h"
#include "core/Clock.h"
#include "core/QtEventLoop.h"

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

Paths programPaths() {
    Paths p;
    const QString home = qEnvironmentVariable("QUINDRA_HOME");
    p.appDir = home.isEmpty() ? QCoreApplication::applicationDirPath() : QDir(home).absolutePath();
    if (!p.appDir.endsWith(QLatin1Char('/'))) p.appDir += QLatin1Char('/');
    p.executablePath = QCoreApplication::applicationFilePath();
    p.defaultDropFolder = QDir::homePath() + QStringLiteral("/Vizudu Telefônica/");
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    SingleInstance instance;
    if (!instance.acquire()) return 0;

    const bool headless = !hasDisplay();
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quindra"));
    QApplication::setApplicationDisplayName(kAppTitle);
    QApplication::setQuitOnLastWindowClosed(false);

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
    NoHotKeyRegistrar hotKeys;

    ShellPorts ports{loop,  registry, clock,    LocaleFormats(QLocale::system()),
                     paths, boxes,    autostart, hotKeys, EchoToStdout};
    const bool tray = !headless && QSystemTrayIcon::isSystemTrayAvailable();
    TMainForm form(std::move(ports), tray);

    QSocketNotifier stopNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &form, [&form] {
        char c;
        [[maybe_unused]] auto n = ::read(signalPipe[0], &c, 1);
        if (form.shell().FormCloseQuery()) QCoreApplication::quit();
    });

    if (form.shell().showOnRun()) form.show();
    app.exec();
    return 0;
}
