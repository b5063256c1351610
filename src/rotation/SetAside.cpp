#include "rotation/SetAside.h"

#include <QByteArray>
#include <QFileInfo>

#include "rotation/FileOperations.h"
#include "rotation/FolderListing.h"

namespace quindra {

QString FreeName(const FileOperations& files, const QString& folder, const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    QString candidate = name;
    for (int n = 2; files.stamp(Joined(folder, candidate)); ++n)
        candidate = base + QStringLiteral(" (%1)").arg(n) + extension;
    return candidate;
}

QString MoveAside(FileOperations& files, const QString& folder, const QString& name,
                  const QString& subfolder) {
    const QString aside = Joined(folder, subfolder);
    if (!files.stamp(aside))
        files.makeFolder(aside);
    const QString free = FreeName(files, aside, name);
    files.rename(Joined(folder, name), Joined(aside, free));
    return free;
}

QString RepairedName(const QByteArray& bytes) {
    QString name;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80    ? 1
                           : lead >= 0xF0 ? 4
                           : lead >= 0xE0 ? 3
                           : lead >= 0xC0 ? 2
                                          : 0;
        if (length > 0 && i + length <= bytes.size()) {
            const QByteArray chunk = bytes.mid(i, length);
            const QString decoded = QString::fromUtf8(chunk);
            if (decoded.toUtf8() == chunk) {
                name += decoded;
                i += length;
                continue;
            }
        }
        name += QChar(lead);
        ++i;
    }
    return name;
}

}  // namespace quindra
