#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "audio/loudness/SoundFigures.h"
#include "core/LifeGuard.h"

namespace quindra::loudness {

// Measures files one after the other on a thread of its own, so that a
// message of many minutes neither freezes the window nor is heard on the
// line; each result comes back on the UI thread.
class SoundAnalyser {
public:
    // Reads and measures a file, away from the UI thread; gives up, throwing,
    // once `stop` is set. Failures are AppErrors, whose text is told.
    using Measure = std::function<SoundFigures(const QString& path, const std::atomic<bool>& stop)>;

    struct Result {
        std::uint64_t ticket = 0;
        QString path;
        std::optional<SoundFigures> figures;  // none when the file could not be measured
        QString error;
    };

    SoundAnalyser(EventLoop& loop, Measure measure, std::function<void(const Result&)> done);
    // Waits for the file being measured to give up.
    ~SoundAnalyser();
    SoundAnalyser(const SoundAnalyser&) = delete;
    SoundAnalyser& operator=(const SoundAnalyser&) = delete;

    // Queues a measure of `path`; its result carries the ticket returned. A
    // measure of the same path still waiting is dropped, and its ticket
    // never comes back.
    std::uint64_t request(const QString& path);
    // Nothing is queued or being measured, and every result is posted.
    bool idle();

private:
    void run();

    const Measure measure_;
    const std::function<void(const Result&)> done_;
    LifeGuard guard_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::pair<std::uint64_t, QString>> queue_;
    std::uint64_t lastTicket_ = 0;
    bool busy_ = false;
    std::atomic<bool> quit_ = false;

    std::thread thread_;  // last: it starts once every member above exists
};

}  // namespace quindra::loudness
