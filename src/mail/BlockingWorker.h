#pragma once

#include <signal.h>

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace quindra {

// A thread of its own for the mail exchange. The caller hands it one job and
// waits for it without handling any event, so no other handler of the UI
// thread runs in the middle of a send, and the network code keeps its
// sockets and TLS state on one thread for the whole life of the client.
class BlockingWorker {
public:
    BlockingWorker() : thread_([this] { loop(); }) {}
    ~BlockingWorker() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    BlockingWorker(const BlockingWorker&) = delete;
    BlockingWorker& operator=(const BlockingWorker&) = delete;

    // Runs job on the worker and returns when it has finished; what it
    // throws is thrown here.
    void run(const std::function<void()>& job) {
        std::unique_lock lock(mutex_);
        job_ = &job;
        failure_ = nullptr;
        done_ = false;
        wake_.notify_all();
        finished_.wait(lock, [this] { return done_; });
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    void loop() {
        // TLS writes go through write(2): a write to a connection the server
        // has closed must fail with EPIPE on this thread, not raise SIGPIPE
        // and end the program (and the message on air with it).
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || job_ != nullptr; });
            if (job_ == nullptr)
                return;
            const std::function<void()>* job = job_;
            job_ = nullptr;
            lock.unlock();
            std::exception_ptr failure;
            try {
                (*job)();
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            failure_ = failure;
            done_ = true;
            finished_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    const std::function<void()>* job_ = nullptr;
    std::exception_ptr failure_;
    bool done_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace quindra
