#include "window/StatusPanelView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "window/LevelBar.h"

namespace quindra {

namespace {

QLabel* Caption(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QStringLiteral("caption"));
    return l;
}

}  // namespace

StatusPanelView::StatusPanelView(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("statusPanel"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAccessibleName(QStringLiteral("Status do sistema"));

    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(8, 5, 8, 6);
    col->setSpacing(4);

    // Rows 1 to 3: the system, filled once at start; version and build
    // share a line.
    auto* os = new QGridLayout;
    os->setHorizontalSpacing(6);
    os->setVerticalSpacing(2);
    const auto addOsRow = [&](StatusLabel which, const char* objectName, const char* caption,
                              int row, int column) {
        QLabel* c = Caption(QString::fromUtf8(caption), this);
        auto* value = new QLabel(this);
        value->setObjectName(QString::fromLatin1(objectName));
        QFont f = value->font();
        f.setBold(true);
        value->setFont(f);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        c->setBuddy(value);
        os->addWidget(c, row, column);
        os->addWidget(value, row, column + 1, 1, column == 0 && row == 0 ? 3 : 1);
        labels_.insert(which, value);
    };
    addOsRow(StatusLabel::OsName, "osName", "SO", 0, 0);
    addOsRow(StatusLabel::OsVersion, "osVersion", "Versão", 1, 0);
    addOsRow(StatusLabel::OsBuild, "osBuild", "Build", 1, 2);
    os->setColumnStretch(3, 1);
    col->addLayout(os);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    col->addWidget(line);

    // Row 4 beside rows 5 to 8: the CPU gauge at the left.
    auto* figures = new QHBoxLayout;
    figures->setSpacing(10);
    auto* cpuColumn = new QVBoxLayout;
    cpuColumn->setSpacing(2);
    QLabel* cpuCaption = Caption(QStringLiteral("CPU"), this);
    cpuCaption->setAlignment(Qt::AlignHCenter);
    cpuColumn->addWidget(cpuCaption);
    cpu_ = new LevelBar(Qt::Vertical, QColor(60, 179, 75), this);
    cpu_->setObjectName(QStringLiteral("cpuUsage"));
    cpu_->setAccessibleName(QStringLiteral("CPU"));
    cpu_->setFixedWidth(44);
    cpu_->setRange(100, 0);
    cpuColumn->addWidget(cpu_, 1, Qt::AlignHCenter);
    figures->addLayout(cpuColumn);

    auto* rows = new QVBoxLayout;
    rows->setSpacing(0);
    struct Row {
        StatusBar bar;
        const char* barName;
        StatusLabel label;
        const char* labelName;
        const char* caption;
        const char* initialText;
    };
    const Row barRows[] = {
        {StatusBar::PhysicalMemory, "physicalMemoryBar", StatusLabel::PhysicalMemory,
         "physicalMemory", "Memória Física Livre", "memLabel1"},
        {StatusBar::VirtualMemory, "virtualMemoryBar", StatusLabel::VirtualMemory, "virtualMemory",
         "Memória Virtual Livre", "memLabel2"},
        {StatusBar::PagingMemory, "pagingMemoryBar", StatusLabel::PagingMemory, "pagingMemory",
         "Memoria de Páginação", "memLabel3"},
        {StatusBar::Disk, "diskBar", StatusLabel::Disk, "disk", "Espaço livre no HD", "memLabel3"},
    };
    // Each row: its caption, the figures right-aligned under it, the bar.
    for (const Row& r : barRows) {
        const QString caption = QString::fromUtf8(r.caption);
        QLabel* c = Caption(caption, this);
        auto* value = new QLabel(QString::fromLatin1(r.initialText), this);
        value->setObjectName(QString::fromLatin1(r.labelName));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setAccessibleDescription(caption);
        QFont f = value->font();
        f.setBold(true);
        value->setFont(f);
        auto* bar = new LevelBar(Qt::Horizontal, QColor(96, 165, 250), this);
        bar->setObjectName(QString::fromLatin1(r.barName));
        bar->setAccessibleName(caption);
        rows->addWidget(c);
        rows->addWidget(value);
        rows->addWidget(bar);
        rows->addSpacing(3);
        labels_.insert(r.label, value);
        bars_.insert(r.bar, bar);
    }
    rows->addStretch();
    figures->addLayout(rows, 1);
    col->addLayout(figures, 1);
}

void StatusPanelView::setStatusLabel(StatusLabel l, const QString& text) {
    if (QLabel* label = labels_.value(l))
        label->setText(text);  // an equal text repaints nothing
}

void StatusPanelView::setStatusBar(StatusBar b, const GaugeRange& range) {
    if (LevelBar* bar = bars_.value(b))
        bar->setRange(range.maxValue(), range.userValue());
}

void StatusPanelView::setCpuUsage(int percent) {
    cpu_->setRange(100, percent);
}

QString StatusPanelView::statusLabel(StatusLabel l) const {
    const QLabel* label = labels_.value(l);
    return label ? label->text() : QString();
}

}  // namespace quindra
