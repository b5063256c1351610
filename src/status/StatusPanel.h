#pragma once

#include <QHash>
#include <QString>
#include <array>
#include <memory>
#include <optional>

#include "core/EventLoop.h"
#include "core/LocaleFormats.h"
#include "core/Runtime.h"
#include "status/StatusView.h"
#include "status/SysInfo.h"

namespace quindra {

// The CPU gauge: a percentage from two samples of the processors' times, on
// its own timer from the moment it is created. The first figure is 0; the
// first real one comes with the first tick.
class CpuUsageGauge {
public:
    static constexpr int kRefreshIntervalMs = 500;

    CpuUsageGauge(SysInfo& info, StatusView& view, EventLoop& loop);
    CpuUsageGauge(const CpuUsageGauge&) = delete;
    CpuUsageGauge& operator=(const CpuUsageGauge&) = delete;

    // Busy share of the processors between two samples, 0 to 100; 0 without
    // an earlier sample or when no time has passed.
    static double usage(const std::optional<CpuTimes>& previous, const CpuTimes& now);

    void tick();
    void stop() { timer_->setEnabled(false); }
    int shown() const { return shown_; }
    Timer& timer() { return *timer_; }

private:
    void show(int percent);

    SysInfo& info_;
    StatusView& view_;
    std::unique_ptr<Timer> timer_;
    std::optional<CpuTimes> previous_;
    int shown_ = -1;
};

// The system status panel on "Principal": the operating system's name,
// version and build, filled once at start; free memory and disk space,
// refreshed whenever the program falls idle. It only displays, and it shows
// a change only when a figure as the operator reads it has changed.
class StatusPanel {
public:
    StatusPanel(SysInfo& info, StatusView& view, const LocaleFormats& formats,
                const SettingCopies& settings);
    StatusPanel(const StatusPanel&) = delete;
    StatusPanel& operator=(const StatusPanel&) = delete;

    // The system's name, version and build.
    void showSystem();
    // One refresh pass: the disk of the drop folder, then the memory rows.
    // A failure ends the pass in silence, keeping what it already showed.
    void refresh() noexcept;

    // "75" or "1.863": whole numbers with the locale's grouping; "1,53" with
    // two decimals.
    QString number(double value, int decimals) const;

private:
    void label(StatusLabel l, const QString& text);
    void bar(StatusBar b, std::int64_t max, std::int64_t value);

    SysInfo& info_;
    StatusView& view_;
    const LocaleFormats& formats_;
    const SettingCopies& settings_;
    QHash<StatusLabel, QString> labels_;
    std::array<GaugeRange, 4> bars_{};
};

}  // namespace quindra
