#include <pwd.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "app/AppFolder.h"
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/ManualOpener.h"
#include "app/Shell.h"
#include "app/SingleInstance.h"
#include "app/StopSignals.h"
#include "audio/loudness/FileSound.h"
#include "audio/pulse/MessageLength.h"
#include "audio/pulse/PulseWaveControl.h"
#include "audio/pulse/SndfileProbe.h"
#include "config/Autostart.h"
#include "config/PasswordKeeper.h"
#include "config/SqliteRegistry.h"
#include "core/Clock.h"
#include "core/QtEventLoop.h"
#include "hardware/udev/UdevDevices.h"
#include "rotation/InotifyFolderWatch.h"
#include "rotation/LinuxFileOperations.h"
#include "status/IdleSource.h"
#include "status/LinuxSysInfo.h"
#include "window/Artwork.h"
#include "window/DBusNoticeSender.h"
#include "window/DocumentViewer.h"
#include "window/LineNotices.h"
#include "window/MainWindow.h"
#include "window/MessageBoxes.h"
#include "window/QtTranslations.h"
#include "window/StatusLog.h"
#include "window/StatusRecord.h"
#include "window/XcbHotKeyRegistrar.h"

using namespace quindra;

namespace {

// Stop signals are caught before the shared libraries' start-up code runs,
// the earliest moment a program has: a stop asked for while the program is
// still being loaded waits until it can end in order.
[[gnu::used, gnu::section(".preinit_array")]] void (*const catchStopsEarly)(int, char**, char**) =
    [](int, char**, char**) { StopSignals::catchEarly(); };

// The mail client's switch: a stop ends a mail exchange under way at once,
// since the event loop that reads the stop requests waits for the exchange
// to end.
std::atomic<const AbortSwitch*> mailAbort{nullptr};

// Signals whose default would end the program: SIGPIPE comes with the next
// status line once a reader of standard output (a pipe, a log collector) has
// gone; SIGUSR1 and SIGUSR2 have no use here. None of them stops the message.
void ignoreStraySignals() {
    struct sigaction sa {};
    sa.sa_handler = SIG_IGN;
    sigemptyset(&sa.sa_mask);
    for (int s : {SIGPIPE, SIGUSR1, SIGUSR2})
        sigaction(s, &sa, nullptr);
}

// The user's home folder: HOME, else the account's entry (a service started
// without HOME), which then also becomes HOME for everything that reads it.
// Empty when there is none; the root folder is nobody's home.
QString homeFolder() {
    QString home = QFile::decodeName(qgetenv("HOME"));
    if (home.isEmpty()) {
        passwd entry{};
        passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_dir && *found->pw_dir) {
            home = QFile::decodeName(found->pw_dir);
            qputenv("HOME", found->pw_dir);
        }
    }
    home = QDir::cleanPath(home);
    return home == QLatin1String("/") || home == QLatin1String(".") ? QString() : home;
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

Paths programPaths(const QString& userHome) {
    Paths p;
    p.appDir =
        AppFolder(QCoreApplication::applicationDirPath(), qEnvironmentVariable("QUINDRA_HOME"),
                  QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    p.executablePath = QCoreApplication::applicationFilePath();
    p.homeFolder = userHome;
    p.storeFile = SqliteRegistry::defaultFile();
    p.manualPlaces = ManualOpener::PlacesBeside(QCoreApplication::applicationDirPath());
    if (!userHome.isEmpty())
        p.defaultDropFolder = userHome + QStringLiteral("/Vizudu Telefônica/");
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before anything else: no display, sound server or lock needed.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = CommandLine::parse(arguments);
    switch (line.action) {
        case CommandLine::Action::Run:
            break;
        case CommandLine::Action::Help:
            std::fputs(CommandLine::usage().toLocal8Bit().constData(), stdout);
            return 0;
        case CommandLine::Action::Version:
            std::printf("espera (Quindra) %s\n", QUINDRA_VERSION);
            return 0;
        case CommandLine::Action::Refuse:
            std::fprintf(stderr, "%s\n", line.problem.toLocal8Bit().constData());
            return 2;
    }

    StopSignals stopSignals;
    ignoreStraySignals();
    const QString home = homeFolder();
    // For tests: programs on private sound servers, each with a virtual hold
    // device of its own, run side by side under guards of their own.
    SingleInstance instance(qEnvironmentVariable("QUINDRA_INSTANCE_TAG"));
    if (instance.acquire() == SingleInstance::Start::AlreadyRunning)
        return 0;
    for (const QString& problem : instance.problems())
        std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());

    const QString displayProblem = UnusableDisplay();
    if (!displayProblem.isEmpty()) {
        std::fprintf(stderr, "%s\n", displayProblem.toLocal8Bit().constData());
        // Nothing else tries the display that does not answer.
        qunsetenv("DISPLAY");
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const bool headless = !hasDisplay() || !displayProblem.isEmpty();
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quindra"));
    // No display name: Qt would append it to every caption, and the boxes'
    // captions ("Confirmação") are exactly what they say.
    QApplication::setQuitOnLastWindowClosed(false);
    // The desktop's menu entry and the session's window list name the same
    // program, with its own icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("br.com.vizudu.quindra"));
    QApplication::setWindowIcon(ProgramIcon());
    InstallQtTranslations(OperatorLocale());
    const auto answering = instance.answerLaterStarts();

    QtEventLoop loop;
    SqliteRegistry registry(SqliteRegistry::defaultFile());
    SystemClock clock;
    QtMessageBoxes boxes(headless);
    const Paths paths = programPaths(home);
    XdgAutostartFile autostart(XdgAutostartFile::defaultFile(), paths.executablePath);
    XcbHotKeyRegistrar hotKeys;
    SecretServiceKeeper passwords;
    XdgDocumentViewer viewer;
    // One sound-server connection, shared by the player, the capture
    // monitor and the device lister.
    auto pulse = std::make_shared<pulse::PulseConnection>(loop);
    pulse::PulseWaveControl player(pulse), monitor(pulse), lister(pulse);
    LinuxFileOperations files;
    // QUINDRA_DROP_POLLING (for tests and measurements) leaves the drop
    // folder to its periodic check alone, as on a network share.
    std::optional<InotifyFolderWatch> folderWatch;
    if (qEnvironmentVariableIsEmpty("QUINDRA_DROP_POLLING"))
        folderWatch.emplace();
    pulse::SndfileProbe probe;
    udev::UdevDevices devices(loop);
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
                     // Under a service whose output is the journal, the
                     // journal has each line from the record already.
                     .echo = StatusRecord::stdoutIsJournal() && StatusRecord::journalRuns()
                                 ? std::function<void(const QString&)>()
                                 : EchoToStdout,
                     .passwords = &passwords,
                     .viewer = headless ? nullptr : &viewer},
        .audio = {.player = player, .monitor = monitor, .lister = lister},
        .rotation = {.files = files,
                     .probe = probe,
                     .measure =
                         [](const QString& path, const std::atomic<bool>& stop) {
                             return loudness::MeasureFile(path, kHoldMessageFormat, &stop);
                         },
                     .watch = folderWatch ? &*folderWatch : nullptr},
        .hardware = {.devices = devices},
        .status = {.sysInfo = sysInfo, .idle = idle},
        .messageLength = pulse::MessageLengthMs,
    };
    // A stop can come while the window is still being built, even while a
    // start-up box waits for an operator who is not there: it closes the box,
    // shows no more, and ends the program once start-up is over.
    bool stopRequested = false;
    Shell* started = nullptr;
    const auto stop = [&] {
        stopRequested = true;
        boxes.stop();
        if (started)
            started->closeRequested();
        QCoreApplication::quit();
    };
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (stopSignals.caught()) {
        stopNotifier = std::make_unique<QSocketNotifier>(stopSignals.fd(), QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &app, [&] {
            if (stopSignals.takeRequests())
                stop();
        });
    }

    // Every status line is kept in the journal and in the log file too. It
    // outlives the shell, whose last lines it still takes; a file it cannot
    // write is said in the log.
    StatusLog* recordProblemsTo = nullptr;
    StatusRecord::Options kept;
    kept.logFile = StatusRecord::defaultLogFile();
    kept.journal = StatusRecord::journalRuns();
    StatusRecord record(kept, [&loop, &recordProblemsTo](const QString& problem) {
        loop.post([&recordProblemsTo, problem] {
            if (recordProblemsTo)
                recordProblemsTo->write(problem);
        });
    });

    MainWindow window(/*withTray=*/!headless,
                      headless ? MainWindow::Output::NoDisplay : MainWindow::Output::Screen);
    // Before the shell, which still tells the line's end as it goes.
    std::optional<DBusNoticeSender> noticeSender;
    std::optional<LineNotices> notices;
    // A notification needs a desktop to be seen on.
    if (!headless)
        notices.emplace(noticeSender.emplace());
    Shell shell(std::move(ports), window);
    if (notices)
        shell.line().onChange([&notices](const LineState& line) { notices->lineChanged(line); });
    shell.log().setRecord(&record);
    recordProblemsTo = &shell.log();
    const struct ForgetRecordProblems {
        StatusLog*& to;
        ~ForgetRecordProblems() { to = nullptr; }
    } forgetRecordProblems{recordProblemsTo};
    window.connectTo(shell, shell.settings(), shell.errors());
    // Gone first: the window's controls reach nothing while the shell ends.
    const struct Detach {
        MainWindow& window;
        ~Detach() { window.disconnectFrom(); }
    } detach{window};
    mailAbort = &shell.office().client().abortSwitch();
    StopSignals::alsoAtOnce([] {
        if (const AbortSwitch* mail = mailAbort.load())
            mail->trigger();
    });
    const struct ForgetMailAbort {
        ~ForgetMailAbort() {
            StopSignals::alsoAtOnce(nullptr);
            mailAbort = nullptr;
        }
    } forgetMailAbort;
    shell.start(instance.lineTaken());
    started = &shell;
    registry.setReporter([&shell](const QString& line) { shell.log().write(line); });
    if (!displayProblem.isEmpty())
        shell.log().write(displayProblem);
    for (const QString& problem : instance.problems())
        shell.log().write(problem);
    if (paths.homeFolder.isEmpty() && !QFileInfo(shell.state().settings.dropFolder).isDir()) {
        shell.log().write(
            QStringLiteral("A pasta pessoal do usuário não é conhecida (sem HOME e sem "
                           "conta no sistema); nenhuma pasta de reposição padrão foi "
                           "criada. Escolha a pasta de reposição nas Configurações."));
    }
    // For tests: the program stops itself (SIGSTOP) when a swap completes the
    // named step, so that a test can kill it exactly there.
    if (const QString step = qEnvironmentVariable("QUINDRA_STOP_AT_STEP"); !step.isEmpty()) {
        shell.rotation().transaction().setStepHook([step](QStringView done) {
            if (done == step)
                ::raise(SIGSTOP);
        });
    }
    if (stopRequested)
        shell.closeRequested();

    if (shell.showOnRun())
        window.show();
    // Signals that came in while the program was being built are handled
    // now.
    QCoreApplication::processEvents();
    if (stopSignals.takeRequests())
        stop();
    if (!stopRequested)
        app.exec();
    return 0;
}
