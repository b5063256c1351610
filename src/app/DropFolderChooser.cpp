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
    const QString beside = others == 1
                               ? QStringLiteral("A pasta %1 contém outro arquivo além de %2.")
                                     .arg(QDir::toNativeSeparators(folder), chosenName)
                               : QStringLiteral("A pasta %1 contém outros %2 arquivos além de %3.")
                                     .arg(QDir::toNativeSeparators(folder))
                                     .arg(others)
                                     .arg(chosenName);
    return beside + QStringLiteral(
                        "\nCada arquivo desta pasta será colocado no ar e removido dela, um após "
                        "o outro.\nDeseja usar esta pasta para as mensagens de espera?");
}

std::optional<QString> DropFolderChooser::folderFor(const QString& chosenFile,
                                                    const QString& dropFolder) const {
    const QFileInfo chosen(chosenFile);
    const QString folder = chosen.absolutePath();
    if (SameFolder(folder, dropFolder))
        return folder;
    int others = 0;
    try {
        for (const QString& name : FolderListing(files_, folder, locale_))
            if (name != chosen.fileName())
                ++others;
    } catch (const FileError&) {
        // A folder that cannot be read is reported by the watch itself.
    }
    if (others > 0 &&
        !boxes_.confirm(QStringLiteral("Confirmação"), Question(folder, chosen.fileName(), others)))
        return std::nullopt;
    return folder;
}

}  // namespace quindra
