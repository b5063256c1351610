#include "status/LinuxSysInfo.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QFile>
#include <QList>
#include <QRegularExpression>

namespace quindra {

namespace {

// An open file, closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(const char* path) : fd_(::open(path, O_RDONLY | O_CLOEXEC)) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads a small file of /proc or /etc whole, with one read where it fits.
QByteArray ReadSmallFile(const char* path) {
    QByteArray data;
    const Descriptor file(path);
    if (file.get() < 0)
        return data;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n <= 0)
            break;
        data.append(buffer, n);
    }
    return data;
}

// A value of os-release, with its quotes and escapes removed.
QByteArray OsReleaseValue(const QByteArray& text, const QByteArray& key) {
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith(key + '='))
            continue;
        QByteArray value = line.mid(key.size() + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        QByteArray plain;
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size())
                ++i;
            plain += value[i];
        }
        return plain;
    }
    return {};
}

// The user address space of a process on this machine's architecture: 47
// bits on x86-64, 48 on 64-bit ARM, 3 GiB on a 32-bit system.
std::int64_t UserAddressSpaceKiB() {
#if defined(__x86_64__)
    return std::int64_t{1} << (47 - 10);
#elif defined(__aarch64__)
    return std::int64_t{1} << (48 - 10);
#else
    if constexpr (sizeof(void*) >= 8)
        return std::int64_t{1} << (47 - 10);
    else
        return std::int64_t{3} << 20;
#endif
}

}  // namespace

OsIdentity ParseOsIdentity(const QByteArray& osRelease, const QByteArray& kernelName,
                           const QByteArray& kernelRelease) {
    OsIdentity id;
    id.name = QString::fromUtf8(OsReleaseValue(osRelease, "NAME"));
    if (id.name.isEmpty())
        id.name = QString::fromUtf8(kernelName);
    id.version = QString::fromUtf8(OsReleaseValue(osRelease, "VERSION_ID"));
    if (id.version.isEmpty()) {
        static const QRegularExpression majorMinor(QStringLiteral("^(\\d+)\\.(\\d+)"));
        const auto m = majorMinor.match(QString::fromUtf8(kernelRelease));
        if (m.hasMatch())
            id.version = m.captured(1) + QLatin1Char('.') + m.captured(2);
    }
    id.build = QString::fromUtf8(kernelRelease);
    return id;
}

std::optional<MemoryStatus> ParseMemoryStatus(const QByteArray& meminfo,
                                              std::int64_t addressSpaceKiB,
                                              std::int64_t mappedKiB) {
    std::int64_t total = -1, available = -1, swapTotal = -1, swapFree = -1;
    for (const QByteArray& line : meminfo.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray key = line.left(colon);
        std::int64_t* field = key == "MemTotal"       ? &total
                              : key == "MemAvailable" ? &available
                              : key == "SwapTotal"    ? &swapTotal
                              : key == "SwapFree"     ? &swapFree
                                                      : nullptr;
        if (!field)
            continue;
        // "MemTotal:        8025180 kB"
        bool ok = false;
        const QByteArray number = line.mid(colon + 1).trimmed().split(' ').value(0);
        const qlonglong v = number.toLongLong(&ok);
        if (ok)
            *field = v;
    }
    if (total < 0 || available < 0 || swapTotal < 0 || swapFree < 0 || addressSpaceKiB <= 0)
        return std::nullopt;
    MemoryStatus m;
    m.physicalTotal = total;
    m.physicalFree = available;
    m.virtualTotal = addressSpaceKiB;
    m.virtualFree = std::max<std::int64_t>(0, addressSpaceKiB - mappedKiB);
    m.pagingTotal = total + swapTotal;
    m.pagingFree = available + swapFree;
    return m;
}

std::optional<CpuTimes> ParseCpuTimes(const QByteArray& procStat) {
    const QByteArray first = procStat.left(procStat.indexOf('\n'));
    const QList<QByteArray> fields = first.simplified().split(' ');
    // cpu user nice system idle iowait irq softirq steal [guest guest_nice]
    if (fields.size() < 5 || fields[0] != "cpu")
        return std::nullopt;
    CpuTimes t;
    // Guest time is already counted in user and nice.
    const qsizetype counted = std::min<qsizetype>(fields.size(), 9);
    for (qsizetype i = 1; i < counted; ++i) {
        bool ok = false;
        const qulonglong v = fields[i].toULongLong(&ok);
        if (!ok)
            return std::nullopt;
        t.total += v;
        if (i == 4 || i == 5)  // idle, iowait
            t.idle += v;
    }
    return t;
}

OsIdentity LinuxSysInfo::os() {
    utsname u{};
    ::uname(&u);
    QByteArray release = ReadSmallFile("/etc/os-release");
    if (release.isEmpty())
        release = ReadSmallFile("/usr/lib/os-release");
    return ParseOsIdentity(release, u.sysname, u.release);
}

std::optional<MemoryStatus> LinuxSysInfo::memory() {
    std::int64_t space = UserAddressSpaceKiB();
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        space = std::min<std::int64_t>(space, static_cast<std::int64_t>(limit.rlim_cur / 1024));
    // statm: the whole mapped size, in pages, first.
    const QByteArray statm = ReadSmallFile("/proc/self/statm");
    bool ok = false;
    const qlonglong pages = statm.left(statm.indexOf(' ')).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const std::int64_t mapped = pages * (::sysconf(_SC_PAGESIZE) / 1024);
    return ParseMemoryStatus(ReadSmallFile("/proc/meminfo"), space, mapped);
}

DiskSpace LinuxSysInfo::disk(const QString& path) {
    struct statvfs s {};
    if (path.isEmpty() || ::statvfs(QFile::encodeName(path).constData(), &s) != 0)
        return {};
    return {
        .available = static_cast<std::int64_t>(s.f_bavail) * static_cast<std::int64_t>(s.f_frsize),
        .total = static_cast<std::int64_t>(s.f_blocks) * static_cast<std::int64_t>(s.f_frsize)};
}

std::optional<CpuTimes> LinuxSysInfo::cpuTimes() {
    // The first line is all that is needed; it sits in the first block.
    const Descriptor file("/proc/stat");
    if (file.get() < 0)
        return std::nullopt;
    char buffer[512];
    const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n <= 0)
        return std::nullopt;
    return ParseCpuTimes(QByteArray(buffer, n));
}

}  // namespace quindra
