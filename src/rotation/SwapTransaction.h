#pragma once

#include <QString>
#include <QStringView>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include "core/EventLoop.h"
#include "core/ReportOnce.h"
#include "rotation/FileOperations.h"

namespace quindra {

class Clock;
class LocaleFormats;
class MessageFolder;
class MessageLog;
class Registry;
class WaveControl;
struct MessageOnAir;
struct RuntimeState;
struct SwapFlags;

// A file of the drop folder as the check that chose it found it.
struct DroppedFile {
    QString path;
    QString name;
    FileStamp stamp;
};

// Puts one dropped file on air in place of the message on air and records
// the history of the change. The file is copied whole beside the old message
// before anything stops; only then is the player stopped for the pause, the
// copy renamed into place, the history written, the old message and the
// dropped file removed, and the new message started. What fails after the
// stop is reported and the swap goes on, so the line is silent only for the
// pause.
class SwapTransaction {
public:
    static constexpr int kPauseMs = 3000;
    static constexpr int kWaitAfterPauseMs = 750;
    static constexpr int kPauseBeforeStartMs = 250;

    struct Ports {
        EventLoop& loop;
        Registry& registry;
        const Clock& clock;
        const LocaleFormats& formats;
        SwapFlags& swap;      // written here: replaySuspended, pauseActive
        MessageOnAir& onAir;  // written here: file and history, after a swap
        const RuntimeState& state;
        WaveControl& player;
        MessageLog& log;
        FileOperations& files;
        MessageFolder& messages;
        std::function<void()> onAirChanged;  // may be empty
        std::function<void()> swapDone;      // a new message went on air; may be empty
        // The line's pause: true as the message on air stops, false once the
        // swap is over; may be empty.
        std::function<void(bool)> onPause;
    };

    // What the swap leaves the watch to go on from.
    struct Outcome {
        // False when the copy could not be made whole: nothing was stopped or
        // changed, and the file may be tried again at the next check.
        bool staged = false;
        // The dropped file stays in the drop folder and is not to be taken
        // again until it changes.
        bool passOver = false;
        // The dropped file left the drop folder (moved, renamed or deleted)
        // before it could be copied: nothing was stopped or changed.
        bool vanished = false;
        // The store refused the history; the new message is on air all the
        // same, and the failure is for the error box once the check is done.
        std::exception_ptr storeFailure;
    };

    explicit SwapTransaction(Ports ports);
    ~SwapTransaction();
    SwapTransaction(const SwapTransaction&) = delete;
    SwapTransaction& operator=(const SwapTransaction&) = delete;

    Outcome run(const DroppedFile& file);

    // Start-up: no replay suspended, the next swap's pause armed.
    void resetFlags();
    // A shutdown: the end of a pass restarts nothing any more.
    void suspendReplay();
    // The end of the wait after a check: the replay is allowed again, and a
    // new message that ended while it was suspended starts again.
    void endSuspension();

    Timer& pauseTimer() { return *pauseTimer_; }
    // The last copy of a dropped file failed.
    bool copyFailing() const { return copyFailing_; }

    // Called with the name of each step a swap completes ("copiada",
    // "parada", "renomeada", "historico", "antiga-apagada",
    // "reposicao-apagada"), so a test can stop the program exactly there.
    void setStepHook(std::function<void(QStringView)> hook) { stepHook_ = std::move(hook); }

private:
    QString stage(const DroppedFile& file, Outcome& outcome);
    Outcome exchange(const DroppedFile& file, const QString& staged);
    bool suspendPlayback();
    void endPause();
    void writeHistory(const QString& newName, const QString& oldName);
    void readHistory();
    void removeOldMessage(const QString& old, const std::optional<FileStamp>& oldStamp,
                          const std::optional<FileStamp>& newStamp);
    bool removeDropped(const DroppedFile& file);
    void startNewMessage();
    void playCurrentQuietly();
    bool tryRemove(const QString& path);
    void syncQuietly(const QString& folder);
    void announceOnAir();
    void step(QStringView name);

    Ports p_;
    std::function<void(QStringView)> stepHook_;
    std::unique_ptr<Timer> pauseTimer_;
    ReportOnce copyReport_;
    bool replayOwed_ = false;
    bool copyFailing_ = false;
};

}  // namespace quindra
