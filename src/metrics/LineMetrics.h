#pragma once

#include <QDateTime>
#include <QString>
#include <memory>

#include "core/ReportOnce.h"
#include "metrics/PrometheusText.h"

namespace quindra {

class Clock;
class EventLoop;
class MessageLog;
class Timer;

// The hold line's figures for a monitoring system: kept from the line's
// changes, written to the metrics file at each change and once a minute, so
// that a program that stopped shows as a file that no longer changes.
// Without a path nothing is written.
class LineMetrics {
public:
    static constexpr int kRewriteMs = 60000;
    // A path is used once it has stood this long: the settings page hands
    // over every keystroke, and a half-typed path is no place to write to.
    static constexpr int kPathSettleMs = 3000;

    LineMetrics(EventLoop& loop, const Clock& clock, MessageLog& log);
    ~LineMetrics();
    LineMetrics(const LineMetrics&) = delete;
    LineMetrics& operator=(const LineMetrics&) = delete;

    // Empty: no file. A new path is written once it has settled.
    void setPath(const QString& path);
    const QString& path() const { return path_; }

    // The line as it stands. `unexpected`: it went off air without anybody
    // asking for it (not a swap's pause, an unplug or the program's end).
    void lineChanged(bool onAir, bool unexpected, bool hardwarePresent, const QString& messageFile);
    void swapped();
    void soundFault();
    // The program ends: the file says the line is off air.
    void finish();

    LineFigures figures() const;

private:
    void rewrite();

    const Clock& clock_;
    ReportOnce report_;
    std::unique_ptr<Timer> rewrite_;
    std::unique_ptr<Timer> pathSettle_;
    QString path_;
    bool pathSettled_ = false;
    LineFigures f_;
    QDateTime onAirSince_;  // valid while on air
    std::int64_t onAirBefore_ = 0;
};

}  // namespace quindra
