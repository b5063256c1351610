#include "window/MessageBoxes.h"

#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

namespace quindra {

void QtMessageBoxes::showError(const QString& text) {
    if (headless_) {
        std::fprintf(stderr, "%s: %s\n", kAppTitle.toUtf8().constData(), text.toUtf8().constData());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::Critical, kAppTitle, text, QMessageBox::Ok);
    box.exec();
}

void QtMessageBoxes::showInfo(const QString& text) {
    if (headless_) {
        std::fprintf(stderr, "%s: %s\n", kAppTitle.toUtf8().constData(), text.toUtf8().constData());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok);
    box.exec();
}

bool QtMessageBoxes::confirm(const QString& caption, const QString& text) {
    if (headless_) {
        std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
        std::fflush(stderr);
        return false;
    }
    QMessageBox box(QMessageBox::Question, caption, text);
    QPushButton* yes = box.addButton(QStringLiteral("&Sim"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Não"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace quindra
