#include "window/AlertWindow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace quindra {

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 90;
constexpr int kMargin = 12;

}  // namespace

AlertWindow::AlertWindow(int shownMs)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("alert"));
    setWindowTitle(QStringLiteral("Aviso"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kWidth, kHeight);
    setStyleSheet(
        QStringLiteral("QWidget#alert { background: #fffbe6; border: 1px solid #8a7a3a; }"
                       "QLabel#caption { font-weight: bold; }"));

    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(10, 6, 6, 10);
    auto* top = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("Aviso"), this);
    caption->setObjectName(QStringLiteral("caption"));
    top->addWidget(caption, 1);
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("close"));
    close->setText(QStringLiteral("×"));
    close->setToolTip(QStringLiteral("Fechar"));
    close->setAccessibleName(QStringLiteral("Fechar"));
    close->setAutoRaise(true);
    top->addWidget(close);
    col->addLayout(top);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("text"));
    text_->setWordWrap(true);
    col->addWidget(text_, 1);

    slide_ = new QPropertyAnimation(this, "pos", this);
    slide_->setDuration(kSlideMs);
    slide_->setEasingCurve(QEasingCurve::OutCubic);
    hideTimer_ = new QTimer(this);
    hideTimer_->setSingleShot(true);
    hideTimer_->setInterval(shownMs);
    connect(hideTimer_, &QTimer::timeout, this, &QWidget::hide);
    connect(close, &QToolButton::clicked, this, [this] {
        hideTimer_->stop();
        hide();
    });
}

AlertWindow::~AlertWindow() = default;

void AlertWindow::setText(const QString& text) {
    text_->setText(text);
}

QString AlertWindow::text() const {
    return text_->text();
}

void AlertWindow::popUp() {
    hideTimer_->start();
    if (isVisible())
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, kWidth, kHeight);
    const QPoint shown(area.right() - kWidth - kMargin, area.bottom() - kHeight - kMargin);
    const QPoint below(shown.x(), area.bottom() + 1);
    slide_->stop();
    move(below);
    show();
    raise();
    slide_->setStartValue(below);
    slide_->setEndValue(shown);
    slide_->start();
}

}  // namespace quindra
