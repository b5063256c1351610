#include "metrics/PrometheusText.h"

namespace quindra {

const QString kPrometheusFileMark =
    QStringLiteral("# Quindra (espera): hold line metrics, rewritten at each change.\n");

namespace {

// Label values escape the backslash, the double quote and the line feed.
QString LabelValue(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('"'))
            out += QStringLiteral("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else
            out += c;
    }
    return out;
}

void Metric(QString& out, const char* name, const char* type, const char* help,
            const QString& sample) {
    out += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
               .arg(QLatin1String(name), QLatin1String(help), QLatin1String(type));
    out += sample;
}

QString Sample(const char* name, std::int64_t value) {
    return QStringLiteral("%1 %2\n").arg(QLatin1String(name)).arg(value);
}

QString Sample(const char* name, std::uint64_t value) {
    return QStringLiteral("%1 %2\n").arg(QLatin1String(name)).arg(value);
}

}  // namespace

QString PrometheusText(const LineFigures& f) {
    QString out = kPrometheusFileMark;
    Metric(out, "quindra_on_air", "gauge", "1 while the hold message is on air.",
           Sample("quindra_on_air", std::int64_t{f.onAir}));
    Metric(out, "quindra_hardware_present", "gauge", "1 while the hold hardware is plugged in.",
           Sample("quindra_hardware_present", std::int64_t{f.hardwarePresent}));
    Metric(
        out, "quindra_message_info", "gauge", "The message on air, by file name.",
        f.message.isEmpty()
            ? QString()
            : QStringLiteral("quindra_message_info{file=\"%1\"} 1\n").arg(LabelValue(f.message)));
    Metric(out, "quindra_on_air_seconds_total", "counter",
           "Seconds the message has been on air since the program started.",
           Sample("quindra_on_air_seconds_total", f.onAirSeconds));
    Metric(out, "quindra_swaps_total", "counter", "Messages put on air since the program started.",
           Sample("quindra_swaps_total", f.swaps));
    Metric(out, "quindra_off_air_events_total", "counter",
           "Times the line went silent without being asked to.",
           Sample("quindra_off_air_events_total", f.offAirEvents));
    Metric(out, "quindra_sound_faults_total", "counter",
           "Sound faults: the sound server or the hold device lost, underrun bursts.",
           Sample("quindra_sound_faults_total", f.soundFaults));
    Metric(out, "quindra_last_swap_timestamp_seconds", "gauge",
           "When the last message went on air, in Unix time.",
           f.lastSwapUnixSeconds
               ? Sample("quindra_last_swap_timestamp_seconds", *f.lastSwapUnixSeconds)
               : QString());
    return out;
}

}  // namespace quindra
