#include "window/LevelBar.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QLinearGradient>
#include <QPainter>

namespace quindra {

namespace {

class LevelBarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit LevelBarAccessible(LevelBar* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value ||
            (t == QAccessible::Description && bar()->accessibleDescription().isEmpty()))
            return bar()->text();
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return QVariant::fromValue<double>(bar()->value()); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return QVariant::fromValue<double>(bar()->maximum()); }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 0.0; }

private:
    LevelBar* bar() const { return static_cast<LevelBar*>(widget()); }
};

QAccessibleInterface* LevelBarAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(LevelBar::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new LevelBarAccessible(static_cast<LevelBar*>(object));
    return nullptr;
}

int Percent(std::int64_t max, std::int64_t value) {
    return static_cast<int>((static_cast<long double>(value) * 100 + max / 2.0L) / max);
}

}  // namespace

LevelBar::LevelBar(Qt::Orientation orientation, QColor fill, QWidget* parent)
    : QWidget(parent), orientation_(orientation), fill_(fill) {
    static const bool installed = [] {
        QAccessible::installFactory(LevelBarAccessibleFactory);
        return true;
    }();
    (void)installed;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(orientation == Qt::Horizontal
                      ? QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed)
                      : QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding));
}

QSize LevelBar::sizeHint() const {
    return orientation_ == Qt::Horizontal ? QSize(160, 16) : QSize(34, 120);
}

QString LevelBar::text() const {
    return QStringLiteral("%1%").arg(percent_);
}

int LevelBar::filled(int length) const {
    return static_cast<int>(static_cast<long double>(length) * value_ / max_ + 0.5L);
}

void LevelBar::setRange(std::int64_t max, std::int64_t value) {
    if (max <= 0)
        return;
    const int length = orientation_ == Qt::Horizontal ? width() - 2 : height() - 2;
    const int filledBefore = filled(length);
    const int percentBefore = percent_;
    max_ = max;
    value_ = std::clamp<std::int64_t>(value, 0, max);
    percent_ = Percent(max_, value_);
    if (percent_ != percentBefore || filled(length) != filledBefore)
        update();
    if (percent_ != percentBefore && QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, QVariant::fromValue<double>(value_));
        QAccessible::updateAccessibility(&event);
    }
}

void LevelBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    p.setPen(QColor(120, 128, 140));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(frame);

    const QRect inner = rect().adjusted(1, 1, -1, -1);
    QRect bar = inner;
    QLinearGradient gradient;
    if (orientation_ == Qt::Horizontal) {
        bar.setWidth(filled(inner.width()));
        gradient = QLinearGradient(inner.topLeft(), inner.bottomLeft());
    } else {
        const int h = filled(inner.height());
        bar.setTop(inner.bottom() - h + 1);
        gradient = QLinearGradient(inner.topLeft(), inner.topRight());
    }
    gradient.setColorAt(0, fill_.lighter(150));
    gradient.setColorAt(0.5, fill_);
    gradient.setColorAt(1, fill_.darker(130));
    if (bar.width() > 0 && bar.height() > 0)
        p.fillRect(bar, gradient);

    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    // Dark text over the light background; it stays readable where the bar
    // has filled in behind it.
    p.setPen(QColor(30, 34, 40));
    p.drawText(inner, Qt::AlignCenter, text());
}

}  // namespace quindra
