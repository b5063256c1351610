#pragma once

#include <QString>

namespace quindra {

// A file name or path as it goes into a status line, a mail or the journal:
// control characters are written as escapes ("\n", "\r", "\t", "\x1b"), and
// so are the line and paragraph separators, so that no name can break a line
// or forge one that looks like the program's own. Every other character,
// accents included, is kept as it is.
QString ShownName(const QString& name);

}  // namespace quindra
