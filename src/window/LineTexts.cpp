#include "window/LineTexts.h"

#include <QFileInfo>

namespace quindra {

namespace {

const QString kSeparator = QStringLiteral(" · ");

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

}  // namespace

QString OffAirPhrase(OffAirReason reason) {
    switch (reason) {
        case OffAirReason::None:
            return {};
        case OffAirReason::HardwareAbsent:
            return QStringLiteral("hardware desconectado");
        case OffAirReason::NoMessage:
            return QStringLiteral("sem mensagem na pasta");
        case OffAirReason::SoundServerDown:
            return QStringLiteral("servidor de som indisponível");
        case OffAirReason::Swapping:
            return QStringLiteral("trocando a mensagem");
        case OffAirReason::MessageUnplayable:
            return QStringLiteral("mensagem não reproduzível");
        case OffAirReason::SoundStopped:
            return QStringLiteral("som interrompido");
        case OffAirReason::LineTaken:
            return QStringLiteral("hardware em uso por outro usuário");
        case OffAirReason::Opening:
            return QStringLiteral("abrindo o canal");
        case OffAirReason::Closing:
            return QStringLiteral("sistema finalizado");
    }
    return {};
}

QString DurationText(qint64 ms) {
    const qint64 seconds = (std::max<qint64>(ms, 0) + 500) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString LineText(const LineState& line) {
    if (!line.onAir)
        return QStringLiteral("Fora do ar") + kSeparator + OffAirPhrase(line.reason);
    QString text = QStringLiteral("No ar") + kSeparator + fileName(line.file);
    if (line.durationMs)
        text += kSeparator + DurationText(*line.durationMs);
    return text;
}

QString LineToolTip(const LineState& line) {
    QString text = LineText(line);
    if (!line.onAir && !line.file.isEmpty())
        text += QStringLiteral("\nMensagem: ") + fileName(line.file);
    return text;
}

DesktopNotice OffAirNotice(const LineState& line) {
    QString body = OffAirPhrase(line.reason);
    if (!body.isEmpty())
        body[0] = body[0].toUpper();
    return {.summary = QStringLiteral("Mensagem de espera fora do ar"),
            .body = body + QLatin1Char('.'),
            .urgent = true};
}

DesktopNotice BackOnAirNotice(const LineState& line) {
    return {.summary = QStringLiteral("Mensagem de espera de volta ao ar"), .body = LineText(line)};
}

}  // namespace quindra
