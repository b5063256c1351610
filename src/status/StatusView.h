#pragma once

#include <QString>
#include <cstdint>

namespace quindra {

// The system status panel's value elements.
enum class StatusLabel { LabelPlatform, LabelVersion, LabelBuild };
enum class StatusBar {
    ProgressFill1,  // free physical memory
    ProgressFill2,  // free virtual memory
    ProgressFill3,  // free paging memory
    ProgressFill4,  // free space on the drop folder's disk
};

// What the status panel needs of the window: it only displays.
class StatusView {
public:
    virtual ~StatusView() = default;
    virtual void setStatusLabel(StatusLabel l, const QString& text) = 0;
    virtual void setCpuUsage(int percent) = 0;
    // A bar from 0 to max at value, with the figures beside it.
    virtual void setStatusBar(StatusBar b, std::int64_t max, std::int64_t value,
                              const QString& caption) = 0;
};

}  // namespace quindra
