#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class QObject;

namespace quindra {

// One running program per user, and one program playing into the hold
// hardware for the whole machine (there is one hold device).
//
// Each guard is a name in the abstract namespace of Unix sockets, bound and
// listening for the life of the object: "quindra-<uid>" for the user,
// "quindra-hold-line" for the line. A name needs no folder (no runtime
// folder, no HOME, no writable temporary folder), and the kernel frees it
// when the process ends however it ends, so a crash leaves nothing stale. A
// later start that finds a name taken connects to it and reads the holder's
// user from the connection.
//
// Abstract names belong to a network namespace: a program started in
// another one (a container, a sandbox or a service with a private network)
// sees neither guard, and neither guard keeps it off the line.
class SingleInstance {
public:
    enum class Start {
        Run,             // no other program of this user runs here
        AlreadyRunning,  // this user's program already runs: the caller ends at once
    };

    // `tag`, when not empty, gives both guards names of their own: tests run
    // programs side by side, each on a virtual hold device of its own.
    explicit SingleInstance(const QString& tag = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    Start acquire();

    // After a Run: empty when the hold line is this program's; otherwise the
    // status line saying whose it is, and the program never opens the channel.
    const QString& lineTaken() const { return lineTaken_; }
    // Why a guard could not be made, one status line each; the program runs
    // without it.
    const QStringList& problems() const { return problems_; }

    // Accepts and closes the connections of later starts that asked who
    // holds a guard, so that they never fill its queue; for the life of the
    // returned object, which needs the application object and must not
    // outlive this one.
    std::unique_ptr<QObject> answerLaterStarts() const;

private:
    // A socket, closed with its owner.
    class Socket {
    public:
        Socket() = default;
        explicit Socket(int fd) : fd_(fd) {}
        Socket(Socket&& o) noexcept;
        Socket& operator=(Socket&& o) noexcept;
        Socket(const Socket&) = delete;
        Socket& operator=(const Socket&) = delete;
        ~Socket();
        int get() const { return fd_; }

    private:
        int fd_ = -1;
    };
    struct Claim;
    static Claim claim(const QByteArray& name);

    QByteArray userName_;
    QByteArray lineName_;
    Socket user_;
    Socket line_;
    QString lineTaken_;
    QStringList problems_;
};

}  // namespace quindra
