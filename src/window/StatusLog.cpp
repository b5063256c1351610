#include "window/StatusLog.h"

#include <cstdio>

#include "core/Clock.h"

namespace quindra {

StatusLog::StatusLog(EventLoop& loop, const Clock& clock, LocaleFormats formats, LogView& view,
                     std::function<void(const QString&)> echo)
    : clock_(clock),
      formats_(std::move(formats)),
      view_(view),
      echo_(std::move(echo)),
      clearTimer_(loop.createTimer(kClearIntervalMs, [this] { clearWhenFull(); })) {}

bool StatusLog::write(const QString& message) noexcept {
    try {
        // Date and time are two separate clock reads, as the log always had.
        const QString date = formats_.shortDate(clock_.now().date());
        const QString time = formats_.longTime(clock_.now().time());
        const QString line = date + QStringLiteral(" - ") + time + QStringLiteral(" - ") + message;
        view_.appendLine(line);
        if (echo_)
            echo_(line);
        if (record_)
            record_->keep(message, line);
        return false;
    } catch (...) {
        return true;
    }
}

void StatusLog::clearWhenFull() {
    if (view_.displayedRows() >= kClearAtRows)
        view_.clearLines();
}

void EchoToStdout(const QString& line) {
    // Once standard output has failed (its reader gone), the echo stops; the
    // log itself goes on.
    static bool broken = false;
    if (broken)
        return;
    const QByteArray utf8 = line.toUtf8() + '\n';
    if (std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stdout) !=
            static_cast<size_t>(utf8.size()) ||
        std::fflush(stdout) != 0)
        broken = true;
}

}  // namespace quindra
