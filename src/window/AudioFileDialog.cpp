#include "window/AudioFileDialog.h"

#include <QFileInfo>

namespace quindra {

std::unique_ptr<QFileDialog> MakeAudioFileDialog(QWidget* parent, const QString& current) {
    auto dialog = std::make_unique<QFileDialog>(parent, QStringLiteral("Abrir"));
    dialog->setObjectName(QStringLiteral("audioFileDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    // The shown names are the whole filter texts; the patterns in the last
    // parentheses are what Qt matches and, with the details hidden, not shown.
    dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog->setNameFilters({QStringLiteral("Arquivos de Audio(*.wav;*.mp3) (*.wav *.mp3)"),
                            QStringLiteral("Todos Arquivos (*)")});
    const QFileInfo at(current);
    if (at.isDir())
        dialog->setDirectory(at.absoluteFilePath());
    else if (!current.isEmpty())
        dialog->selectFile(current);
    return dialog;
}

}  // namespace quindra
