#include "window/DocumentViewer.h"

#include <QProcess>

namespace quindra {

bool XdgDocumentViewer::show(const QString& file) {
    // Detached: a browser that takes seconds to come up, or never ends, holds
    // nothing here.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {file});
}

}  // namespace quindra
