#include "status/StatusPanel.h"

#include <cmath>

namespace quindra {

namespace {

constexpr double kGiB = 1073741824.0;
constexpr double kKiBPerGiB = 1024.0 * 1024.0;

}  // namespace

CpuUsageGauge::CpuUsageGauge(SysInfo& info, StatusView& view, EventLoop& loop)
    : info_(info), view_(view), timer_(loop.createTimer(kRefreshIntervalMs, [this] { tick(); })) {
    tick();
}

double CpuUsageGauge::usage(const std::optional<CpuTimes>& previous, const CpuTimes& now) {
    if (!previous || now.total <= previous->total || now.idle < previous->idle)
        return 0;
    const double elapsed = static_cast<double>(now.total - previous->total);
    const double idle = static_cast<double>(now.idle - previous->idle);
    return 100.0 - idle / elapsed * 100.0;
}

void CpuUsageGauge::tick() {
    timer_->setEnabled(false);
    const std::optional<CpuTimes> now = info_.cpuTimes();
    double busy = 0;
    if (now) {
        busy = usage(previous_, *now);
        previous_ = now;
    }
    show(static_cast<int>(std::lround(std::clamp(busy, 0.0, 100.0))));
    timer_->setEnabled(true);
}

void CpuUsageGauge::show(int percent) {
    if (percent == shown_)
        return;
    shown_ = percent;
    view_.setCpuUsage(percent);
}

StatusPanel::StatusPanel(SysInfo& info, StatusView& view, const LocaleFormats& formats,
                         const SettingCopies& settings)
    : info_(info), view_(view), formats_(formats), settings_(settings) {}

QString StatusPanel::number(double value, int decimals) const {
    // -0 is 0 to the operator.
    if (value == 0 || std::abs(value) < 0.5 * std::pow(10.0, -decimals))
        value = 0;
    return formats_.locale().toString(value, 'f', decimals);
}

void StatusPanel::showSystem() {
    const OsIdentity os = info_.os();
    label(StatusLabel::OsName, os.name);
    label(StatusLabel::OsVersion, os.version);
    label(StatusLabel::OsBuild, os.build);
}

void StatusPanel::label(StatusLabel l, const QString& text) {
    auto it = labels_.find(l);
    if (it != labels_.end() && *it == text)
        return;
    labels_.insert(l, text);
    view_.setStatusLabel(l, text);
}

void StatusPanel::bar(StatusBar b, std::int64_t max, std::int64_t value) {
    GaugeRange& range = bars_[static_cast<std::size_t>(b)];
    const GaugeRange before = range;
    range.setMaxValue(max);
    range.setUserValue(value);
    if (range != before)
        view_.setStatusBar(b, range);
}

void StatusPanel::refresh() noexcept {
    try {
        const QString& path = settings_.dropFolder;
        if (path.isEmpty())
            return;

        // A volume that cannot be queried counts as 0 bytes: its bar keeps
        // its maximum, and the memory rows are refreshed all the same.
        const DiskSpace disk = info_.disk(path);
        const double sizeGB = std::max<std::int64_t>(disk.total, 0) / kGiB;
        const double freeGB = std::max<std::int64_t>(disk.available, 0) / kGiB;
        const QString sizeText = number(sizeGB, 0);
        const QString freeText = number(freeGB, 0);
        label(StatusLabel::Disk, freeText + QLatin1Char('/') + sizeText + QStringLiteral(" GB"));
        // The bar takes the whole numbers that the text shows.
        bar(StatusBar::Disk, std::llround(sizeGB), std::llround(freeGB));

        const std::optional<MemoryStatus> m = info_.memory();
        if (!m)
            return;
        bar(StatusBar::PhysicalMemory, m->physicalTotal, m->physicalFree);
        bar(StatusBar::VirtualMemory, m->virtualTotal, m->virtualFree);
        bar(StatusBar::PagingMemory, m->pagingTotal, m->pagingFree);
        const auto gb = [this](std::int64_t kib) { return number(kib / kKiBPerGiB, 2); };
        label(StatusLabel::PhysicalMemory, gb(m->physicalFree) + QStringLiteral("/ ") +
                                               gb(m->physicalTotal) + QStringLiteral(" GB"));
        label(StatusLabel::VirtualMemory, gb(m->virtualFree) + QStringLiteral("/ ") +
                                              gb(m->virtualTotal) + QStringLiteral(" GB"));
        label(StatusLabel::PagingMemory, gb(m->pagingFree) + QStringLiteral("/ ") +
                                             gb(m->pagingTotal) + QStringLiteral(" GB"));
    } catch (...) {
        // The panel only displays: a figure that cannot be had is not news.
    }
}

}  // namespace quindra
