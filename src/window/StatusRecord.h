#pragma once

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "window/StatusLog.h"

namespace quindra {

// What a status line tells of, for the journal's QUINDRA_EVENT field, and
// how much it matters there (syslog levels: 3 error, 4 warning, 6 info).
struct LogEvent {
    const char* kind;
    int priority;
};

// The event of a status message, from a table of the messages the program
// writes; a message the table does not know is "other" at info level.
LogEvent ClassifyLogMessage(const QString& message);

// Keeps every status line beyond the window: in the journal, when one runs,
// as an entry with MESSAGE, PRIORITY, SYSLOG_IDENTIFIER and QUINDRA_EVENT,
// and in a log file of the program's own, rotated at a size with a few old
// files kept, so a restart does not lose the day's record. The writing is
// done on a thread of its own: the UI thread only queues the line, whatever
// the disk does. A file that cannot be written is said once, through
// problem (called on the writer's thread, which must hand it on); the window
// keeps every line.
class StatusRecord final : public LogRecord {
public:
    static constexpr qint64 kRotateAtBytes = 1024 * 1024;
    static constexpr int kKeptFiles = 3;
    // Lines waiting beyond this many are dropped, and that is said once
    // through problem (called on the UI thread then).
    static constexpr std::size_t kMaxQueued = 10000;

    struct Options {
        QString logFile;  // empty: no file
        bool journal = true;
        QString identifier = QStringLiteral("espera");
        qint64 rotateAtBytes = kRotateAtBytes;
    };

    StatusRecord(Options options, std::function<void(const QString&)> problem);
    // Writes what is still queued, then ends the writer.
    ~StatusRecord() override;
    StatusRecord(const StatusRecord&) = delete;
    StatusRecord& operator=(const StatusRecord&) = delete;

    void keep(const QString& message, const QString& line) noexcept override;
    // Returns once every line queued so far has been written.
    void flush();

    // $XDG_STATE_HOME/quindra/espera.log, or ~/.local/state/quindra/espera.log.
    static QString defaultLogFile();
    // Whether the journal's socket is there to write to.
    static bool journalRuns();
    // Whether standard output is itself a stream into the journal (a
    // systemd service): the journal then has each line already.
    static bool stdoutIsJournal();

private:
    struct Entry {
        QString message;
        QString line;
        LogEvent event;
    };

    void run();
    void write(const Entry& e);
    void toJournal(const Entry& e);
    void toFile(const Entry& e);
    bool openFile();
    void rotate();
    // Says once that the file cannot be written, and why.
    void say(int err);

    Options options_;
    std::function<void(const QString&)> problem_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Entry> queue_;  // guarded by mutex_
    bool writing_ = false;     // guarded by mutex_
    bool stopping_ = false;    // guarded by mutex_
    bool overflowSaid_ = false;

    // The writer's own.
    int fd_ = -1;
    qint64 size_ = 0;
    bool fileProblemSaid_ = false;

    std::thread thread_;
};

}  // namespace quindra
