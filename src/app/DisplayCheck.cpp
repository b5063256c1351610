#include "app/DisplayCheck.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QtGlobal>
#include <chrono>
#include <thread>

namespace quindra {

namespace {

// A server that takes the connection but never replies would hold the
// program here for ever; it gets this long.
constexpr auto kDisplayWait = std::chrono::seconds(5);

enum class Answer { Opened, Refused, Silent };

// Opens the display in a child process, which can be killed when the server
// does not answer in time.
Answer TryDisplay() {
    const pid_t child = ::fork();
    if (child < 0)
        return Answer::Opened;  // cannot tell; Qt will try as it always did
    if (child == 0) {
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        const bool opened = c && xcb_connection_has_error(c) == 0;
        ::_exit(opened ? 0 : 1);
    }
    const auto deadline = std::chrono::steady_clock::now() + kDisplayWait;
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return Answer::Silent;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Answer::Opened : Answer::Refused;
}

}  // namespace

QString UnusableDisplay() {
    const QString display = qEnvironmentVariable("DISPLAY");
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    // Only the X platform opens DISPLAY; a Wayland session is left to Qt.
    if (display.isEmpty() || (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb"))) ||
        (platform.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")))
        return {};
    switch (TryDisplay()) {
        case Answer::Opened:
            return {};
        case Answer::Refused:
            return QStringLiteral(
                       "A tela \"%1\" (DISPLAY) não pôde ser aberta; o programa segue "
                       "sem janela.")
                .arg(display);
        case Answer::Silent:
            return QStringLiteral(
                       "A tela \"%1\" (DISPLAY) não respondeu; o programa segue sem "
                       "janela.")
                .arg(display);
    }
    return {};
}

}  // namespace quindra
