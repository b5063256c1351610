#pragma once

#include <QString>

#include "status/GaugeRange.h"

namespace quindra {

// The system status panel's value elements.
enum class StatusLabel {
    OsName,
    OsVersion,
    OsBuild,
    PhysicalMemory,  // free of total physical memory
    VirtualMemory,   // free of total virtual memory
    PagingMemory,    // free of total paging memory
    Disk,            // free of total disk space
};
enum class StatusBar {
    PhysicalMemory,  // free physical memory
    VirtualMemory,   // free virtual memory
    PagingMemory,    // free paging memory
    Disk,            // free space on the drop folder's disk
};

// What the status panel needs of the window: it only displays. The panel
// calls only when what is shown changes.
class StatusView {
public:
    virtual ~StatusView() = default;
    virtual void setStatusLabel(StatusLabel l, const QString& text) = 0;
    virtual void setStatusBar(StatusBar b, const GaugeRange& range) = 0;
    // The CPU gauge, 0 to 100.
    virtual void setCpuUsage(int percent) = 0;
};

}  // namespace quindra
