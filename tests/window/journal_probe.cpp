// Stands in for the journal inside a private mount namespace: binds a
// datagram socket at the journal's path, has the status record write a few
// lines, and prints each datagram that arrived as its length, a newline and
// its bytes.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QString>
#include <cstdio>
#include <cstring>

#include "window/StatusRecord.h"

int main(int argc, char** argv) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, "/run/systemd/journal/socket");
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::perror("bind");
        return 2;
    }
    if (!quindra::StatusRecord::journalRuns()) {
        std::fputs("the journal's socket is not seen\n", stderr);
        return 3;
    }
    {
        quindra::StatusRecord::Options journalOnly;
        journalOnly.journal = true;
        quindra::StatusRecord record(journalOnly, nullptr);
        for (int i = 1; i < argc; ++i)
            record.keep(QString::fromUtf8(argv[i]),
                        QStringLiteral("10/12/2026 - 14:05:33 - ") + QString::fromUtf8(argv[i]));
        record.flush();
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0)
            break;
        std::printf("%zd\n", n);
        std::fwrite(buffer, 1, static_cast<size_t>(n), stdout);
    }
    return 0;
}
