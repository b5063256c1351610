#pragma once

#include <QLocale>
#include <QString>
#include <optional>

namespace quindra {

class FileOperations;
class MessageBoxes;

// The browse button of "Diretório do arquivo de Áudio": the operator picks an
// audio file, and its folder becomes the drop folder, or picks the folder
// itself. Every file in the drop
// folder is put on air and then removed from it in turn, so a folder that
// holds other files (a music collection) is taken only once the operator has
// agreed to that.
class DropFolderChooser {
public:
    DropFolderChooser(MessageBoxes& boxes, const FileOperations& files, const QLocale& locale)
        : boxes_(boxes), files_(files), locale_(locale) {}

    // The folder to store for the chosen file or folder, or nothing when the
    // operator says no and the drop folder stays as it is.
    std::optional<QString> folderFor(const QString& chosen, const QString& dropFolder) const;

    // The question for a folder holding `others` files besides the chosen
    // one; with no chosen name, the folder itself was chosen and holds them.
    static QString Question(const QString& folder, const QString& chosenName, int others);

private:
    MessageBoxes& boxes_;
    const FileOperations& files_;
    QLocale locale_;
};

}  // namespace quindra
