#pragma once

#include <QString>
#include <QStringList>

namespace quindra::testing {

// What the status log says as the hold hardware goes and comes back.
inline const QString kHardwareGoneLine = QStringLiteral("O Hardware da espera foi desconectado.");
inline const QStringList kHardwareBackLines{QStringLiteral("O Hardware foi conectado."),
                                            QStringLiteral("Aguarde incializando o stream.")};
// The channel open again and the message on air.
inline const QString kOnAirLine = QStringLiteral("Stream inicializado com sucesso.");

}  // namespace quindra::testing
