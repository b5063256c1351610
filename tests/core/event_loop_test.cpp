#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/QtEventLoop.h"
#include "core/VirtualEventLoop.h"

using namespace quindra;

namespace {

TEST(VirtualEventLoop, PeriodicAndOneShotTimersFireOnTheirIntervals) {
    VirtualEventLoop loop;
    std::vector<std::pair<char, std::int64_t>> fired;
    auto periodic = loop.createTimer(5000, [&] { fired.push_back({'p', loop.now()}); });
    std::unique_ptr<Timer> once;
    once = loop.createTimer(3000, [&] {
        once->setEnabled(false);
        fired.push_back({'o', loop.now()});
    });
    EXPECT_FALSE(periodic->enabled());
    periodic->setEnabled(true);
    once->setEnabled(true);
    loop.advance(12000);
    const std::vector<std::pair<char, std::int64_t>> expected{
        {'o', 3000}, {'p', 5000}, {'p', 10000}};
    EXPECT_EQ(fired, expected);
}

TEST(VirtualEventLoop, EnablingAnEnabledTimerKeepsItsCountdown) {
    VirtualEventLoop loop;
    int fired = 0;
    auto t = loop.createTimer(6000, [&] { ++fired; });
    t->setEnabled(true);
    loop.advance(4000);
    t->setEnabled(true);
    loop.advance(2000);
    EXPECT_EQ(fired, 1);
    // Disabling drops the countdown; enabling starts a fresh one.
    loop.advance(3000);
    t->setEnabled(false);
    t->setEnabled(true);
    loop.advance(5999);
    EXPECT_EQ(fired, 1);
    loop.advance(1);
    EXPECT_EQ(fired, 2);
}

TEST(VirtualEventLoop, PauseRunsNothingAndAnOverdueTimerFiresOnceAfterwards) {
    VirtualEventLoop loop;
    int fired = 0;
    bool posted = false;
    auto t = loop.createTimer(1000, [&] { ++fired; });
    t->setEnabled(true);
    loop.post([&] { posted = true; });
    loop.pause(3500);
    EXPECT_EQ(fired, 0);
    EXPECT_FALSE(posted);
    EXPECT_EQ(loop.now(), 3500);
    loop.processPendingMessages();
    EXPECT_TRUE(posted);
    EXPECT_EQ(fired, 1);
    loop.advance(999);
    EXPECT_EQ(fired, 1);
    loop.advance(1);
    EXPECT_EQ(fired, 2);
}

TEST(VirtualEventLoop, WaitingRunsHandlersInTimeOrderUntilTheConditionHolds) {
    VirtualEventLoop loop;
    bool pauseActive = true;
    std::vector<std::int64_t> ticks;
    auto reset = loop.createTimer(3000, nullptr);
    reset->setHandler([&] {
        reset->setEnabled(false);
        pauseActive = false;
    });
    auto other = loop.createTimer(1000, [&] { ticks.push_back(loop.now()); });
    other->setEnabled(true);
    reset->setEnabled(true);
    loop.processMessagesUntil([&] { return !pauseActive; });
    EXPECT_EQ(loop.now(), 3000);
    EXPECT_EQ(ticks, (std::vector<std::int64_t>{1000, 2000}));

    other->setEnabled(false);
    EXPECT_THROW(loop.processMessagesUntil([] { return false; }), std::logic_error);
}

TEST(VirtualEventLoop, PostedWorkRunsInOrderAndCanPostMore) {
    VirtualEventLoop loop;
    std::string order;
    loop.post([&] {
        order += 'a';
        loop.post([&] { order += 'c'; });
    });
    loop.post([&] { order += 'b'; });
    loop.processPendingMessages();
    EXPECT_EQ(order, "abc");
}

TEST(VirtualEventLoop, WorkPostedFromSeveralThreadsWhileTheLoopRunsIsNeitherLostNorRunTwice) {
    VirtualEventLoop loop;
    constexpr int kThreads = 4;
    constexpr int kPosts = 20000;
    int ran = 0;  // only the loop's thread touches it
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < kPosts; ++i)
                loop.post([&] { ++ran; });
            ++finished;
        });
    }
    while (finished < kThreads)
        loop.processPendingMessages();
    for (auto& w : workers)
        w.join();
    loop.processPendingMessages();
    EXPECT_EQ(ran, kThreads * kPosts);
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST(QtEventLoop, WaitingForAConditionSleepsInsteadOfSpinning) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    QtEventLoop loop;
    bool done = false;
    auto t = loop.createTimer(400, nullptr);
    t->setHandler([&] {
        t->setEnabled(false);
        done = true;
    });
    t->setEnabled(true);

    // A thread's post reaches the loop too.
    bool posted = false;
    std::thread worker([&] { loop.post([&] { posted = true; }); });
    worker.join();

    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    loop.processMessagesUntil([&] { return done; });
    const double cpu = cpuSeconds() - cpuBefore;
    const double waited = wall.elapsed() / 1000.0;
    EXPECT_TRUE(posted);
    EXPECT_GE(waited, 0.35);
    // Stated against the time waited, not as a fixed amount: a busy wait takes
    // whatever share of a processor it is given, far above a twentieth even on
    // a loaded machine, while a sleeping wait uses next to none.
    EXPECT_LT(cpu / waited, 0.05) << cpu << " s of processor time in " << waited << " s";
}

}  // namespace
