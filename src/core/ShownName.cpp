#include "core/ShownName.h"

namespace quindra {

QString ShownName(const QString& name) {
    QString shown;
    shown.reserve(name.size());
    for (const QChar c : name) {
        switch (c.unicode()) {
            case '\n':
                shown += QLatin1String("\\n");
                continue;
            case '\r':
                shown += QLatin1String("\\r");
                continue;
            case '\t':
                shown += QLatin1String("\\t");
                continue;
            default:
                break;
        }
        if (c.category() == QChar::Other_Control) {
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else if (c.category() == QChar::Separator_Line ||
                   c.category() == QChar::Separator_Paragraph) {
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace quindra
