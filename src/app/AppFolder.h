#pragma once

#include <QString>

namespace quindra {

// The folder that holds the program's message folder, with a trailing '/'.
// QUINDRA_HOME names it when set. An installed program (its executable under
// /usr) keeps it in the user's data folder, `dataHome`/quindra/, since the
// system's folders are never written; a program run from anywhere else (a
// build folder) keeps it beside the executable.
QString AppFolder(const QString& executableDir, const QString& quindraHome,
                  const QString& dataHome);

}  // namespace quindra
