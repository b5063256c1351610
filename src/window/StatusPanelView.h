#pragma once

#include <QFrame>
#include <QHash>

#include "status/StatusView.h"

class QLabel;

namespace quindra {

class LevelBar;

// The system status panel as the operator sees it: the system's name,
// version and build, the CPU gauge beside four rows of free memory and disk
// space, each a caption, its figures right-aligned, and a bar.
class StatusPanelView final : public QFrame, public StatusView {
    Q_OBJECT
public:
    explicit StatusPanelView(QWidget* parent = nullptr);

    void setStatusLabel(StatusLabel l, const QString& text) override;
    void setStatusBar(StatusBar b, const GaugeRange& range) override;
    void setCpuUsage(int percent) override;

    QString statusLabel(StatusLabel l) const;
    const LevelBar* bar(StatusBar b) const { return bars_.value(b); }
    const LevelBar* cpuGauge() const { return cpu_; }

private:
    QHash<StatusLabel, QLabel*> labels_;
    QHash<StatusBar, LevelBar*> bars_;
    LevelBar* cpu_ = nullptr;
};

}  // namespace quindra
