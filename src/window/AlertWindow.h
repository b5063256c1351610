#pragma once

#include <QWidget>

#include "hardware/Alert.h"

class QLabel;
class QPropertyAnimation;
class QTimer;

namespace quindra {

// A small notice that slides in at the bottom right corner of the screen,
// above other windows and without taking the focus, under the caption
// "Aviso" with a close button, and hides itself after a few seconds.
class AlertWindow final : public QWidget, public Alert {
    Q_OBJECT
public:
    static constexpr int kShownMs = 6000;
    static constexpr int kSlideMs = 300;

    explicit AlertWindow(int shownMs = kShownMs);
    ~AlertWindow() override;

    void setText(const QString& text) override;
    QString text() const override;
    // Slides in, or stays in and starts its time again when already shown.
    void popUp() override;

private:
    QLabel* text_;
    QPropertyAnimation* slide_;
    QTimer* hideTimer_;
};

}  // namespace quindra
