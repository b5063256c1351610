#pragma once

#include <QString>
#include <optional>

namespace quindra {

class MessageBoxes;

// The browse button of "Diretório do arquivo de Áudio": the operator picks an
// audio file, and its folder becomes the drop folder. Every file in the drop
// folder is put on air and then removed from it in turn, so a folder that
// holds other files (a music collection) is taken only once the operator has
// agreed to that.
class DropFolderChooser {
public:
    explicit DropFolderChooser(MessageBoxes& boxes) : boxes_(boxes) {}

    // The folder to store for the chosen file, or nothing when the operator
    // says no and the drop folder stays as it is.
    std::optional<QString> folderFor(const QString& chosenFile, const QString& dropFolder) const;

    // The question for a folder holding `others` files besides the chosen one.
    static QString Question(const QString& folder, const QString& chosenName, int others);

private:
    MessageBoxes& boxes_;
};

}  // namespace quindra
