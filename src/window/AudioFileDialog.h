#pragma once

#include <QFileDialog>
#include <memory>

namespace quindra {

// The browse button's dialog: an audio file to open, the filters reading
// "Arquivos de Audio(*.wav;*.mp3)" and "Todos Arquivos", starting at the
// field's current folder. Qt's own words in it follow the system's language.
//
// A file dialog alone cannot accept a folder, and the usual first set-up is
// an empty one; "Usar esta pasta" takes the folder being shown.
class AudioFileDialog : public QFileDialog {
public:
    AudioFileDialog(QWidget* parent, const QString& current);

    // After an accepted run: the chosen file, or the folder taken with
    // "Usar esta pasta".
    QString chosen() const;

    static const QString kUseFolderText;

private:
    QString folder_;
};

std::unique_ptr<AudioFileDialog> MakeAudioFileDialog(QWidget* parent, const QString& current);

}  // namespace quindra
