#include "app/DropFolderChooser.h"

#include <QDir>
#include <QFileInfo>

#include "rotation/FileOperations.h"
#include "rotation/FolderListing.h"
#include "window/MessageBoxes.h"

namespace quindra {

namespace {

bool SameFolder(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

}  // namespace

QString DropFolderChooser::Question(const QString& folder, const QString& chosenName, int others) {
    // One arg() call each, so that a folder or file name with a '%' in it
    // is shown as it is.
    const QString shown = QDir::toNativeSeparators(folder);
    const QString count = QString::number(others);
    QString beside;
    if (chosenName.isEmpty())
        beside = others == 1 ? QStringLiteral("A pasta %1 contém um arquivo.").arg(shown)
                             : QStringLiteral("A pasta %1 contém %2 arquivos.").arg(shown, count);
    else
        beside = others == 1 ? QStringLiteral("A pasta %1 contém outro arquivo além de %2.")
                                   .arg(shown, chosenName)
                             : QStringLiteral("A pasta %1 contém outros %2 arquivos além de %3.")
                                   .arg(shown, count, chosenName);
    return beside + QStringLiteral(
                        "\nCada arquivo desta pasta será colocado no ar e removido dela, um após "
                        "o outro.\nDeseja usar esta pasta para as mensagens de espera?");
}

std::optional<QString> DropFolderChooser::folderFor(const QString& chosenPath,
                                                    const QString& dropFolder) const {
    const QFileInfo chosen(chosenPath);
    const bool wholeFolder = chosen.isDir();
    const QString folder = wholeFolder ? chosen.absoluteFilePath() : chosen.absolutePath();
    const QString chosenName = wholeFolder ? QString() : chosen.fileName();
    if (SameFolder(folder, dropFolder))
        return folder;
    int others = 0;
    try {
        for (const QString& name : FolderListing(files_, folder, locale_))
            if (name != chosenName)
                ++others;
    } catch (const FileError&) {
        // A folder that cannot be read is reported by the watch itself.
    }
    if (others > 0 &&
        !boxes_.confirm(QStringLiteral("Confirmação"), Question(folder, chosenName, others)))
        return std::nullopt;
    return folder;
}

}  // namespace quindra
