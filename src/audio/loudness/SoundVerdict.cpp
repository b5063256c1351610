#include "audio/loudness/SoundVerdict.h"

#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace quindra::loudness {

namespace {

const QLocale& brazil() {
    static const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}

// One decimal, a decimal comma and a true minus sign, as printed figures
// are written in Brazil.
QString decibels(double value) {
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("−∞") : QStringLiteral("+∞");
    const double rounded = std::round(value * 10.0) / 10.0;
    const QString digits = brazil().toString(std::abs(rounded), 'f', 1);
    return rounded < 0 ? QStringLiteral("−") + digits : digits;
}

QString duration(double seconds) {
    const auto total = static_cast<long long>(std::llround(seconds));
    const long long h = total / 3600;
    const long long m = total / 60 % 60;
    const long long s = total % 60;
    const QString ss = QStringLiteral("%1").arg(s, 2, 10, QLatin1Char('0'));
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(ss);
    return QStringLiteral("%1:%2").arg(m).arg(ss);
}

QString percent(double share) {
    return QStringLiteral("%1%").arg(std::lround(std::clamp(share, 0.0, 1.0) * 100.0));
}

QString loudness(const SoundFigures& f) {
    return f.loudnessLufs ? decibels(*f.loudnessLufs) + QStringLiteral(" LUFS")
                          : QStringLiteral("abaixo de −70 LUFS");
}

}  // namespace

QString FiguresLine(const SoundFigures& f) {
    return QStringLiteral(
               "Duração %1 · volume %2 · pico real %3 dBTP · %4 fora da faixa "
               "telefônica")
        .arg(duration(f.seconds), loudness(f), decibels(f.truePeakDbtp), percent(f.outOfBandShare));
}

QString WarningLine(const SoundFigures& f) {
    QStringList faults;
    if (!f.loudnessLufs || *f.loudnessLufs < kTooQuietLufs)
        faults << QStringLiteral(
                      "está muito baixa (volume %1; a fala ao telefone fica perto de "
                      "%2 LUFS)")
                      .arg(loudness(f), decibels(kSpeechLevelLufs));
    if (f.clippedRuns > 0 || f.truePeakDbtp >= kClipTruePeakDbtp)
        faults << QStringLiteral("está saturada (picos no máximo digital; o som sai distorcido)");
    if (f.outOfBandShare > kMostlyOutOfBand)
        faults << QStringLiteral(
                      "tem %1 do som fora da faixa telefônica (300 a 3400 Hz), que o "
                      "telefone corta")
                      .arg(percent(f.outOfBandShare));
    if (faults.isEmpty())
        return {};
    return QStringLiteral("Atenção: esta mensagem %1.").arg(faults.join(QStringLiteral("; ")));
}

QString AnalysisPendingLine() {
    return QStringLiteral(
        "A análise do som desta mensagem ainda não terminou; o resultado sai "
        "no registro de status.");
}

QString AnalysisFailedLine(const QString& reason) {
    return QStringLiteral("Não foi possível analisar o som desta mensagem: %1.").arg(reason);
}

double LevellingGainDb(const SoundFigures& f) {
    double gain = kMostBoostDb;
    if (f.loudnessLufs)
        gain = std::min(gain, kSpeechLevelLufs - *f.loudnessLufs);
    if (std::isfinite(f.truePeakDbtp))
        gain = std::min(gain, kCeilingDbtp - f.truePeakDbtp);
    return gain;
}

}  // namespace quindra::loudness
