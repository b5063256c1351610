#include "app/StopSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace quindra {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, which may only make async-signal-safe calls.
volatile std::sig_atomic_t writeEnd = -1;
int readEnd = -1;
std::atomic<void (*)()> atOnce{nullptr};

void onStopSignal(int) {
    const int saved = errno;
    const char c = 1;
    // A full socket already holds a request; one more adds nothing.
    [[maybe_unused]] auto n = ::write(writeEnd, &c, 1);
    if (void (*action)() = atOnce.load())
        action();
    errno = saved;
}

void setHandlers(void (*handler)(int), int flags) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = flags;
    for (int s : kStopSignals)
        ::sigaction(s, &sa, nullptr);
}

}  // namespace

void StopSignals::catchEarly() {
    if (readEnd >= 0)
        return;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0)
        return;
    readEnd = pair[0];
    writeEnd = pair[1];
    setHandlers(onStopSignal, SA_RESTART);
    // Whoever started the program may have held them back while it loaded
    // (a pending stop survives the exec): they are requests now.
    sigset_t stops;
    sigemptyset(&stops);
    for (int s : kStopSignals)
        sigaddset(&stops, s);
    ::sigprocmask(SIG_UNBLOCK, &stops, nullptr);
}

StopSignals::StopSignals() {
    catchEarly();
    readEnd_ = readEnd;
}

StopSignals::~StopSignals() {
    if (readEnd_ < 0)
        return;
    setHandlers(SIG_DFL, 0);
    ::close(writeEnd);
    writeEnd = -1;
    ::close(readEnd);
    readEnd = -1;
}

void StopSignals::alsoAtOnce(void (*action)()) {
    atOnce = action;
}

bool StopSignals::takeRequests() {
    if (readEnd_ < 0)
        return false;
    bool any = false;
    char buffer[64];
    while (::read(readEnd_, buffer, sizeof buffer) > 0)
        any = true;
    return any;
}

}  // namespace quindra
