#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace quindra {

// What a monitoring system needs to know of one switchboard's hold line.
struct LineFigures {
    bool onAir = false;
    bool hardwarePresent = false;
    QString message;  // the file name on air; empty when there is none
    std::int64_t onAirSeconds = 0;
    std::uint64_t swaps = 0;
    std::uint64_t offAirEvents = 0;  // silences nobody asked for
    std::uint64_t soundFaults = 0;
    std::optional<std::int64_t> lastSwapUnixSeconds;
};

// The figures in Prometheus' text exposition format, as node_exporter's
// textfile collector reads them. The first line marks the file as this
// program's, so that it only ever replaces its own file.
QString PrometheusText(const LineFigures& figures);

extern const QString kPrometheusFileMark;

}  // namespace quindra
