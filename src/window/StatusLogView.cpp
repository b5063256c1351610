#include "window/StatusLogView.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

namespace quindra {

StatusLogView::StatusLogView(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("statusLog"));
    setAccessibleName(QStringLiteral("Registro de status"));
    setFixedSize(749, 123);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setStyleSheet(QStringLiteral(
        "QPlainTextEdit#mStatus { background-color: rgb(65, 71, 81); color: white; }"
        "QPlainTextEdit#mStatus QScrollBar:vertical { background: rgb(52, 57, 66); width: 14px; }"
        "QPlainTextEdit#mStatus QScrollBar::handle:vertical { background: rgb(110, 118, 132);"
        " min-height: 20px; border-radius: 3px; margin: 2px; }"
        "QPlainTextEdit#mStatus QScrollBar::add-line:vertical,"
        " QPlainTextEdit#mStatus QScrollBar::sub-line:vertical { height: 0; }"));
    fitRowsToHeight();
}

void StatusLogView::fitRowsToHeight() {
    // Scrolled to its end, the box shows the last row whole at the bottom; a
    // height that is not a whole number of rows then cuts the top row. The
    // rest of the height goes above the text instead, so the top row stands
    // clear of the frame.
    QTextLayout probe(QStringLiteral("X"), font());
    probe.beginLayout();
    QTextLine line = probe.createLine();
    probe.endLayout();
    const qreal row = line.height();
    const qreal text = height() - 2 * frameWidth() - 2 * document()->documentMargin();
    if (row <= 0 || text <= row)
        return;
    const int rows = static_cast<int>(text / row);
    const int spare = static_cast<int>(text - rows * row);
    setViewportMargins(0, spare, 0, 0);
}

void StatusLogView::appendLine(const QString& line) {
    // appendPlainText starts a new paragraph and keeps the view at the end.
    appendPlainText(line);
}

int StatusLogView::displayedRows() const {
    // Rows as the box shows them at its width: each paragraph is laid out the
    // way the box lays it out. Done here rather than read from the box's own
    // layout, which is not made while the window has never been shown (a
    // start in the tray) and would then count every paragraph as one row.
    const QTextDocument* doc = document();
    const qreal width = viewport()->width() - 2 * doc->documentMargin();
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(wordWrapMode());
    int rows = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (!b.next().isValid() && b.text().isEmpty())
            break;  // empty last row
        QTextLayout layout(b.text(), font(), viewport());
        layout.setTextOption(option);
        layout.beginLayout();
        int lines = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            ++lines;
        }
        layout.endLayout();
        rows += std::max(1, lines);
    }
    return rows;
}

}  // namespace quindra
