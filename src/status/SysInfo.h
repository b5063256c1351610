#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace quindra {

// The operating system as the panel names it, read once at start.
struct OsIdentity {
    QString name;     // the system's name
    QString version;  // its version
    QString build;    // the kernel it runs
};

// The six memory figures, in KiB.
struct MemoryStatus {
    std::int64_t physicalTotal = 0;
    std::int64_t physicalFree = 0;  // available without swapping
    std::int64_t virtualTotal = 0;  // the process's own address space
    std::int64_t virtualFree = 0;
    std::int64_t pagingTotal = 0;  // memory and swap together
    std::int64_t pagingFree = 0;
};

// A volume's size and the space available to the program's user, in bytes;
// -1 each when the volume cannot be queried.
struct DiskSpace {
    std::int64_t available = -1;
    std::int64_t total = -1;
};

// Time the processors spent idle and in total since boot, summed over all
// processors, in the system's clock ticks.
struct CpuTimes {
    std::uint64_t idle = 0;
    std::uint64_t total = 0;
};

// Where the status panel's figures come from. Each call reads its source
// afresh.
class SysInfo {
public:
    virtual ~SysInfo() = default;
    virtual OsIdentity os() = 0;
    // Nothing when a source cannot be read.
    virtual std::optional<MemoryStatus> memory() = 0;
    virtual DiskSpace disk(const QString& path) = 0;
    virtual std::optional<CpuTimes> cpuTimes() = 0;
};

}  // namespace quindra
