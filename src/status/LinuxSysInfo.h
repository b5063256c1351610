#pragma once

#include <QByteArray>

#include "status/SysInfo.h"

namespace quindra {

// The status panel's figures on Linux: /etc/os-release and uname for the
// system, /proc/meminfo and the process's own address space for memory,
// statvfs for the drop folder's volume, /proc/stat for the processors.
class LinuxSysInfo final : public SysInfo {
public:
    OsIdentity os() override;
    std::optional<MemoryStatus> memory() override;
    DiskSpace disk(const QString& path) override;
    std::optional<CpuTimes> cpuTimes() override;
};

// The parsing, apart so that it can be checked on known texts.

// name: NAME of os-release ("Debian GNU/Linux"), else the kernel's name;
// version: its VERSION_ID ("12", "22.04"), else the kernel's major.minor;
// build: the kernel release ("6.1.0-18-amd64").
OsIdentity ParseOsIdentity(const QByteArray& osRelease, const QByteArray& kernelName,
                           const QByteArray& kernelRelease);

// meminfo: the text of /proc/meminfo; addressSpaceKiB: the most the process
// may map; mappedKiB: what it has mapped (reserved or in use).
std::optional<MemoryStatus> ParseMemoryStatus(const QByteArray& meminfo,
                                              std::int64_t addressSpaceKiB, std::int64_t mappedKiB);

// The first line of /proc/stat ("cpu  user nice system idle iowait ...").
std::optional<CpuTimes> ParseCpuTimes(const QByteArray& procStat);

}  // namespace quindra
