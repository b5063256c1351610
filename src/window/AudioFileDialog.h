#pragma once

#include <QFileDialog>
#include <memory>

namespace quindra {

// The browse button's dialog: an audio file to open, the filters reading
// "Arquivos de Audio(*.wav;*.mp3)" and "Todos Arquivos", starting at the
// field's current folder. Qt's own words in it follow the system's language.
std::unique_ptr<QFileDialog> MakeAudioFileDialog(QWidget* parent, const QString& current);

}  // namespace quindra
