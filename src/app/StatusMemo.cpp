#include "app/StatusMemo.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

namespace quindra {

StatusMemo::StatusMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("mStatus"));
    setFixedSize(749, 123);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setStyleSheet(QStringLiteral(
        "QPlainTextEdit#mStatus { background-color: rgb(65, 71, 81); color: white; }"));
}

void StatusMemo::appendLine(const QString& line) {
    // appendPlainText starts a new paragraph and keeps the view at the end.
    appendPlainText(line);
}

int StatusMemo::displayedRows() const {
    // Rows as shown: each paragraph counts its wrapped lines at the current
    // width. Blocks off screen may not be laid out yet, so lay them out.
    const QTextDocument* doc = document();
    auto* layout = doc->documentLayout();
    int rows = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (!b.next().isValid() && b.text().isEmpty()) break;  // empty last row
        if (b.layout() && b.layout()->lineCount() == 0) layout->blockBoundingRect(b);
        rows += b.layout() ? std::max(1, b.layout()->lineCount()) : 1;
    }
    return rows;
}

}  // namespace quindra
