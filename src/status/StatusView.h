#pragma once

#include <QString>

#include "status/GaugeRange.h"

namespace quindra {

// The system status panel's value elements.
enum class StatusLabel {
    LabelPlatform,
    LabelVersion,
    LabelBuild,
    memLabel1,  // free of total physical memory
    memLabel2,  // free of total virtual memory
    memLabel3,  // free of total paging memory
    LabelHd,    // free of total disk space
};
enum class StatusBar {
    ProgressFill1,  // free physical memory
    ProgressFill2,  // free virtual memory
    ProgressFill3,  // free paging memory
    ProgressFill4,  // free space on the drop folder's disk
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
