#include "window/AudioFileDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPushButton>

namespace quindra {

const QString AudioFileDialog::kUseFolderText = QStringLiteral("Usar esta pasta");

AudioFileDialog::AudioFileDialog(QWidget* parent, const QString& current)
    : QFileDialog(parent, QStringLiteral("Abrir")) {
    setObjectName(QStringLiteral("audioFileDialog"));
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    // The shown names are the whole filter texts; the patterns in the last
    // parentheses are what Qt matches and, with the details hidden, not shown.
    setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    setNameFilters({QStringLiteral("Arquivos de Audio(*.wav;*.mp3) (*.wav *.mp3)"),
                    QStringLiteral("Todos Arquivos (*)")});
    const QFileInfo at(current);
    if (at.isDir())
        setDirectory(at.absoluteFilePath());
    else if (!current.isEmpty())
        selectFile(current);

    if (auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        QPushButton* useFolder = buttons->addButton(kUseFolderText, QDialogButtonBox::ActionRole);
        useFolder->setObjectName(QStringLiteral("useFolderButton"));
        connect(useFolder, &QPushButton::clicked, this, [this] {
            folder_ = directory().absolutePath();
            done(QDialog::Accepted);
        });
    }
}

QString AudioFileDialog::chosen() const {
    if (!folder_.isEmpty())
        return folder_;
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.constFirst();
}

std::unique_ptr<AudioFileDialog> MakeAudioFileDialog(QWidget* parent, const QString& current) {
    return std::make_unique<AudioFileDialog>(parent, current);
}

}  // namespace quindra
