#include "metrics/LineMetrics.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "core/Clock.h"
#include "core/EventLoop.h"
#include "core/MessageLog.h"
#include "metrics/MetricsFile.h"

namespace quindra {

LineMetrics::LineMetrics(EventLoop& loop, const Clock& clock, MessageLog& log)
    : clock_(clock),
      report_(log),
      rewrite_(loop.createTimer(kRewriteMs, [this] { rewrite(); })),
      pathSettle_(loop.createTimer(kPathSettleMs, [this] {
          pathSettle_->setEnabled(false);
          pathSettled_ = true;
          rewrite();
      })) {}

LineMetrics::~LineMetrics() = default;

void LineMetrics::setPath(const QString& path) {
    const QString trimmed = path.trimmed();
    if (trimmed == path_)
        return;
    path_ = trimmed;
    report_.clear();
    pathSettled_ = false;
    rewrite_->setEnabled(!path_.isEmpty());
    pathSettle_->setEnabled(false);
    pathSettle_->setEnabled(!path_.isEmpty());
}

void LineMetrics::lineChanged(bool onAir, bool unexpected, bool hardwarePresent,
                              const QString& messageFile) {
    if (f_.onAir && !onAir) {
        onAirBefore_ = figures().onAirSeconds;
        onAirSince_ = QDateTime();
        if (unexpected)
            ++f_.offAirEvents;
    } else if (!f_.onAir && onAir) {
        onAirSince_ = clock_.now();
    }
    f_.onAir = onAir;
    f_.hardwarePresent = hardwarePresent;
    f_.message = messageFile.isEmpty() ? QString() : QFileInfo(messageFile).fileName();
    rewrite();
}

void LineMetrics::swapped() {
    ++f_.swaps;
    f_.lastSwapUnixSeconds = clock_.now().toSecsSinceEpoch();
    rewrite();
}

void LineMetrics::soundFault() {
    ++f_.soundFaults;
    rewrite();
}

void LineMetrics::finish() {
    if (f_.onAir)
        lineChanged(false, false, f_.hardwarePresent, {});
    rewrite_->setEnabled(false);
    pathSettle_->setEnabled(false);
}

LineFigures LineMetrics::figures() const {
    LineFigures f = f_;
    f.onAirSeconds = onAirBefore_;
    if (f_.onAir && onAirSince_.isValid())
        f.onAirSeconds += std::max<std::int64_t>(0, onAirSince_.secsTo(clock_.now()));
    return f;
}

void LineMetrics::rewrite() {
    if (path_.isEmpty() || !pathSettled_)
        return;
    const QString problem = MetricsFile::write(path_, PrometheusText(figures()));
    if (problem.isEmpty()) {
        report_.clear();
        return;
    }
    // Told once while it lasts: the file is rewritten every minute.
    report_.write(QStringLiteral("As métricas não foram escritas em %1: %2.")
                      .arg(QDir::toNativeSeparators(path_), problem));
}

}  // namespace quindra
