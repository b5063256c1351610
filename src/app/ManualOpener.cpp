#include "app/ManualOpener.h"

#include <QDir>
#include <QFileInfo>

#include "core/MessageLog.h"
#include "window/DocumentViewer.h"

namespace quindra {

namespace {

const QString kElsewhere = QStringLiteral(" Ele também pode ser lido com \"man espera\".");

}  // namespace

QStringList ManualOpener::PlacesBeside(const QString& executableDir) {
    return {QDir::cleanPath(executableDir + QStringLiteral("/../share/doc/quindra/espera.html")),
            QDir::cleanPath(executableDir + QStringLiteral("/../../dist/espera.html"))};
}

void ManualOpener::open() {
    if (!viewer_) {
        log_.write(QStringLiteral("O manual não é aberto sem tela.") + kElsewhere);
        return;
    }
    for (const QString& place : places_) {
        if (!QFileInfo(place).isFile())
            continue;
        if (!viewer_->show(place))
            log_.write(QStringLiteral("Nenhum navegador ou visualizador abriu o manual %1.")
                           .arg(QDir::toNativeSeparators(place)) +
                       kElsewhere);
        return;
    }
    log_.write(QStringLiteral("O manual não foi encontrado nesta instalação.") + kElsewhere);
}

}  // namespace quindra
