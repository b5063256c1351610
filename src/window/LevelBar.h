#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>

namespace quindra {

// A gradient bar of the visual kit: a range from 0 to a maximum, a value,
// and the value as a percentage of the range, drawn as text on the bar. It
// repaints only when what it shows changes. A screen reader finds it as a
// progress bar with its value, range and percentage.
class LevelBar final : public QWidget {
    Q_OBJECT
public:
    LevelBar(Qt::Orientation orientation, QColor fill, QWidget* parent = nullptr);

    void setRange(std::int64_t max, std::int64_t value);
    std::int64_t maximum() const { return max_; }
    std::int64_t value() const { return value_; }
    int percent() const { return percent_; }
    // "38%".
    QString text() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int filled(int length) const;

    Qt::Orientation orientation_;
    QColor fill_;
    std::int64_t max_ = 100;
    std::int64_t value_ = 50;
    int percent_ = 50;
};

}  // namespace quindra
