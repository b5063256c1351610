#include "audio/loudness/SoundAnalyser.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include "core/AppError.h"

namespace quindra::loudness {

SoundAnalyser::SoundAnalyser(EventLoop& loop, Measure measure,
                             std::function<void(const Result&)> done)
    : measure_(std::move(measure)),
      done_(std::move(done)),
      guard_(loop),
      thread_([this] { run(); }) {}

SoundAnalyser::~SoundAnalyser() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

std::uint64_t SoundAnalyser::request(const QString& path) {
    std::uint64_t ticket = 0;
    {
        std::lock_guard lock(mutex_);
        ticket = ++lastTicket_;
        // A newer state of the same file makes a measure still waiting
        // pointless.
        std::erase_if(queue_, [&](const auto& queued) { return queued.second == path; });
        queue_.emplace_back(ticket, path);
    }
    wake_.notify_all();
    return ticket;
}

bool SoundAnalyser::idle() {
    std::lock_guard lock(mutex_);
    return queue_.empty() && !busy_;
}

void SoundAnalyser::run() {
    // The decoding thread of the line comes first: a measure may take as long
    // as it needs. A refusal changes nothing else.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (queue_.empty()) {
            wake_.wait(lock);
            continue;
        }
        auto [ticket, path] = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        Result result{ticket, path, std::nullopt, {}};
        try {
            result.figures = measure_(path, quit_);
        } catch (const AppError& e) {
            result.error = e.text();
        } catch (const std::exception& e) {
            result.error = QString::fromLocal8Bit(e.what());
        }
        if (!quit_)
            guard_.post([this, result = std::move(result)] { done_(result); });
        lock.lock();
        busy_ = false;
    }
}

}  // namespace quindra::loudness
