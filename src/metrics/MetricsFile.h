#pragma once

#include <QString>

namespace quindra {

// The file node_exporter's textfile collector reads, replaced whole each time
// (a temporary file beside it, then a rename), so that a scrape never sees
// half of it. Only a file this program wrote is ever replaced.
class MetricsFile {
public:
    // Empty when the text was written; otherwise why nothing was.
    static QString write(const QString& path, const QString& text);
};

}  // namespace quindra
