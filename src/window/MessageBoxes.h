#pragma once

#include <QString>

#include "mail/InfoBox.h"

namespace quindra {

inline const QString kAppTitle = QStringLiteral("Quindra - VIZUDU");

// The program's modal boxes. Without a display their texts go to standard
// error and a question is answered "no".
class MessageBoxes : public InfoBox {
public:
    // The error box: the text, the error icon, the application title.
    virtual void showError(const QString& text) = 0;
    // A yes/no question ("&Sim", "&Não"); true for yes.
    virtual bool confirm(const QString& caption, const QString& text) = 0;
};

// QMessageBox when the program has a screen, standard error otherwise.
class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(bool headless) : headless_(headless) {}
    void showError(const QString& text) override;
    bool confirm(const QString& caption, const QString& text) override;
    void showInfo(const QString& text) override;
    // The program is stopping: no more boxes; their texts go to standard error.
    void stop() { headless_ = true; }

private:
    bool headless_;
};

}  // namespace quindra
