#include "rotation/InotifyFolderWatch.h"

#include <sys/inotify.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace quindra {

namespace {

constexpr std::uint32_t kWatchedChanges =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// File systems whose files other computers write: NFS, SMB/CIFS (three
// magics), FUSE (sshfs, davfs, GlusterFS, ...; also a local NTFS, which the
// check serves well enough), Coda, AFS, kAFS, Ceph, 9P, NCP, OCFS2, GFS2,
// GPFS, Lustre, OrangeFS and VirtualBox's shared folders.
constexpr std::uint32_t kNetworkFileSystems[] = {
    0x6969,     0x517B,     0xFF534D42, 0xFE534D42, 0x65735546, 0x73757245,
    0x5346414F, 0x6B414653, 0x00C36400, 0x01021997, 0x564C,     0x7461636F,
    0x01161970, 0x47504653, 0x0BD00BD0, 0x19830326, 0x786F4256,
};

QString reason(int error) {
    return QString::fromStdString(std::generic_category().message(error));
}

}  // namespace

InotifyFolderWatch::InotifyFolderWatch() = default;

InotifyFolderWatch::~InotifyFolderWatch() {
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

bool InotifyFolderWatch::isNetworkShare(long fileSystemType) {
    const auto type = static_cast<std::uint32_t>(fileSystemType);
    for (const std::uint32_t magic : kNetworkFileSystems) {
        if (type == magic)
            return true;
    }
    return false;
}

std::optional<FolderWatch::Refusal> InotifyFolderWatch::watch(const QString& folder) {
    closeWatch();
    const QByteArray path = QFile::encodeName(folder);
    struct statfs fs {};
    if (::statfs(path.constData(), &fs) != 0)
        return Refusal{.networkShare = false, .reason = reason(errno)};
    if (isNetworkShare(static_cast<long>(fs.f_type)))
        return Refusal{.networkShare = true, .reason = {}};
    if (fd_ < 0) {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ < 0)
            return Refusal{.networkShare = false, .reason = reason(errno)};
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    }
    watched_ = ::inotify_add_watch(fd_, path.constData(), kWatchedChanges);
    if (watched_ < 0)
        return Refusal{.networkShare = false, .reason = reason(errno)};
    return std::nullopt;
}

void InotifyFolderWatch::stop() {
    closeWatch();
}

void InotifyFolderWatch::closeWatch() {
    if (fd_ >= 0 && watched_ >= 0)
        ::inotify_rm_watch(fd_, watched_);
    watched_ = -1;
}

// Everything the descriptor holds is read at once and handed over as one
// batch, so a burst of files costs one look, not one per file.
void InotifyFolderWatch::readEvents() {
    QList<Event> events;
    alignas(inotify_event) char buffer[64 * 1024];
    while (true) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            inotify_event event{};
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof(inotify_event);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
            if (event.mask & IN_Q_OVERFLOW) {
                events.append({Change::Overflow, {}});
                continue;
            }
            // A watch given up when another folder is watched still sends
            // its last events.
            if (event.wd != watched_ || watched_ < 0)
                continue;
            if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED)) {
                // The kernel drops the watch of a deleted or unmounted folder;
                // a moved one would go on telling about the wrong path.
                closeWatch();
                events.append({Change::FolderGone, {}});
                continue;
            }
            if (event.mask & IN_ISDIR || event.len == 0)
                continue;
            events.append({Change::Arrived, QFile::decodeName(name)});
        }
    }
    report(events);
}

}  // namespace quindra
