#pragma once

#include <QPlainTextEdit>

#include "window/StatusLog.h"

namespace quindra {

// The status log box: white bold text on dark slate, wrapping long lines.
// The operator may type into it; nothing reads its text back.
class StatusLogView final : public QPlainTextEdit, public LogView {
    Q_OBJECT
public:
    explicit StatusLogView(QWidget* parent = nullptr);

    void appendLine(const QString& line) override;
    int displayedRows() const override;
    void clearLines() override { clear(); }

private:
    void fitRowsToHeight();
};

}  // namespace quindra
