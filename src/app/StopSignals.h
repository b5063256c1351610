#pragma once

namespace quindra {

// SIGTERM, SIGINT and SIGHUP (the end of the desktop session) ask the program
// to close, as an operator's close would, from the moment they are caught
// until they are released: a service manager, a log-out or a Ctrl+C then
// ends the program in order, whatever start-up step it is in. Each request
// leaves a byte on a socket that the event loop watches once it runs. A stop
// held back (blocked) by whoever started the program is taken as soon as the
// signals are caught. One per process.
class StopSignals {
public:
    // Catches the signals from here on, if nothing caught them yet: for the
    // earliest moment of a program, before any object exists.
    static void catchEarly();

    // Takes over what catchEarly() caught, catching the signals now if it
    // did not run.
    StopSignals();
    // Gives the signals back their default action.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // False when the socket could not be made: the signals then keep their
    // default action.
    bool caught() const { return readEnd_ >= 0; }
    // Readable while a request waits; -1 when nothing is caught.
    int fd() const { return readEnd_; }
    // Takes every request that waits; true when there was one.
    bool takeRequests();
    // Runs `action` in the signal handler too, at once, for work that cannot
    // wait for the event loop (it may be busy with that very work). It must
    // be async-signal-safe. Null removes it.
    static void alsoAtOnce(void (*action)());

private:
    int readEnd_ = -1;
};

}  // namespace quindra
