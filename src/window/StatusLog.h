#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "core/EventLoop.h"
#include "core/LocaleFormats.h"
#include "core/MessageLog.h"

namespace quindra {

class Clock;

// The box that shows the log. Rows are counted as it displays them: a long
// line wraps and counts once per row; an empty last row does not count.
class LogView {
public:
    virtual ~LogView() = default;
    virtual void appendLine(const QString& line) = 0;
    virtual int displayedRows() const = 0;
    virtual void clearLines() = 0;
};

// Where each line is kept besides the window (the journal, a file). Called
// on the UI thread; it must return at once and never throw.
class LogRecord {
public:
    virtual ~LogRecord() = default;
    // message is the text as written, line the time-stamped line.
    virtual void keep(const QString& message, const QString& line) noexcept = 0;
};

// The operator's running account: one time-stamped line per event, shown in
// the window and echoed to standard output for the journal.
class StatusLog final : public MessageLog {
public:
    static constexpr int kClearAtRows = 300;
    static constexpr int kClearIntervalMs = 5000;

    StatusLog(EventLoop& loop, const Clock& clock, LocaleFormats formats, LogView& view,
              std::function<void(const QString&)> echo);

    // Appends "date - time - message". Never throws; true when the line was
    // dropped.
    bool write(const QString& message) noexcept override;

    // Every line from now on is also kept there; none: the window only.
    void setRecord(LogRecord* record) { record_ = record; }

    // Empties the box once it holds the limit of rows.
    void clearWhenFull();
    Timer& clearTimer() { return *clearTimer_; }

private:
    const Clock& clock_;
    LocaleFormats formats_;
    LogView& view_;
    std::function<void(const QString&)> echo_;
    LogRecord* record_ = nullptr;
    std::unique_ptr<Timer> clearTimer_;
};

// Writes a line to standard output and flushes, so the journal sees it at once.
void EchoToStdout(const QString& line);

}  // namespace quindra
