#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "HoldLineRig.h"

namespace quindra::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const QString kOpened = QStringLiteral("Stream inicializado com sucesso.");
const QString kBack = QStringLiteral("A mensagem de espera voltou ao ar.");
const QString kFoundSilent =
    QStringLiteral("A mensagem de espera estava em silêncio sem aviso e foi reiniciada.");

struct KillCase {
    const char* name;
    SoundServer server;
    std::vector<int> killsMs;  // after the opening's line
    int restartMs = 2000;      // after each kill
    // The hold device is suspended just before the kill, while the UI thread
    // is busy (a mail exchange, a slow disk): it learns of both only after.
    bool suspendFirst = false;
};

void PrintTo(const KillCase& c, std::ostream* os) {
    *os << c.name << " on " << ServerName(c.server);
}

// Kills the sound server on a schedule counted from the moment the channel
// writes that it opened, from a thread of its own, so that each kill lands
// wherever the channel is, a pause of its UI thread included; the server
// starts again a while after each kill.
class ServerKiller {
public:
    ServerKiller(VirtualHoldDevice& server, const KillCase& c) : server_(server), c_(c) {}
    ~ServerKiller() {
        if (thread_.joinable())
            thread_.join();
    }
    ServerKiller(const ServerKiller&) = delete;
    ServerKiller& operator=(const ServerKiller&) = delete;

    // On the UI thread, as the opening's line is written.
    void opened() {
        if (thread_.joinable())
            return;
        openedAt_ = Clock::now();
        thread_ = std::thread([this, at = openedAt_] { run(at); });
    }
    // For the UI thread.
    Clock::time_point killAt(std::size_t i) const {
        return openedAt_ + std::chrono::milliseconds(c_.killsMs.at(i));
    }
    bool done() const { return done_; }
    bool restarted() const { return restarted_; }

private:
    void run(Clock::time_point opened) {
        bool restarted = true;
        for (const int ms : c_.killsMs) {
            std::this_thread::sleep_until(opened + std::chrono::milliseconds(ms));
            if (c_.suspendFirst)
                server_.suspendHoldOutput();
            server_.crash();
            std::this_thread::sleep_for(std::chrono::milliseconds(c_.restartMs));
            // A start may fail on a loaded machine (PipeWire's graph comes
            // up slowly); the test is about the program, so what is left of
            // it is ended and the server started again.
            restarted = (server_.start() || (server_.crash(), server_.start())) && restarted;
        }
        restarted_ = restarted;
        done_ = true;
    }

    VirtualHoldDevice& server_;
    const KillCase c_;
    Clock::time_point openedAt_;
    std::atomic<bool> done_ = false;
    std::atomic<bool> restarted_ = false;
    std::thread thread_;
};

// The lines about the line's state, in order.
QStringList Account(const QStringList& log) {
    QStringList lines;
    for (const QString& line : log) {
        if (line.endsWith(QStringLiteral("a mensagem de espera está fora do ar.")) ||
            line == kBack || line == kFoundSilent)
            lines << line;
    }
    return lines;
}

// A silence written and then the return, or the restart that found it.
bool AccountEndsOnAir(const QStringList& log) {
    const QStringList lines = Account(log);
    return !lines.isEmpty() &&
           (lines.last() == kFoundSilent || (lines.last() == kBack && lines.size() >= 2));
}

// The sound server dies around the channel's opening, and comes back: the
// message must be heard again from the hold device, and the log must account
// for the silence, ending with the message on air.
class HoldLineKill : public HoldLineRig, public ::testing::WithParamInterface<KillCase> {
protected:
    HoldLineKill() : HoldLineRig(GetParam().server, 1.0) {}
};

TEST_P(HoldLineKill, TheMessageIsHeardAgainAndTheLogSaysSo) {
    const KillCase& c = GetParam();
    startServer();
    makeChannel();
    ServerKiller killer(server_, c);
    log_.onLine = [&](const QString& line) {
        if (line == kOpened)
            killer.opened();
    };
    channel_->start();
    ASSERT_TRUE(state_.channel.active) << journal();
    if (c.suspendFirst) {
        ASSERT_TRUE(waitFor(
            loop_, [&] { return Clock::now() >= killer.killAt(0) - 300ms; }, 10s));
        loop_.pause(1500);
    }
    ASSERT_TRUE(waitFor(
        loop_, [&] { return killer.done(); }, 60s));
    ASSERT_TRUE(killer.restarted());

    listen();
    EXPECT_GE(waitForPasses(2, 25s).size(), 2u)
        << "the message never came back on the hold device\n"
        << journal();
    EXPECT_TRUE(waitFor(
        loop_, [&] { return AccountEndsOnAir(log_.lines); }, 10s))
        << journal();
    RecordProperty("account", Account(log_.lines).join(QStringLiteral(" | ")).toStdString());
}

std::vector<KillCase> Cases() {
    std::vector<KillCase> cases;
    for (const SoundServer s : {SoundServer::PulseAudio, SoundServer::PipeWire}) {
        cases.push_back({.name = "At0ms", .server = s, .killsMs = {0}});
        cases.push_back({.name = "At100ms", .server = s, .killsMs = {100}});
        cases.push_back({.name = "At500ms", .server = s, .killsMs = {500}});
        cases.push_back({.name = "At1s", .server = s, .killsMs = {1000}});
        cases.push_back({.name = "At3s", .server = s, .killsMs = {3000}});
        // Killed every 2 s and started again at once: the kills land at
        // every stage of the reconnection.
        cases.push_back({.name = "StormEvery2s",
                         .server = s,
                         .killsMs = {500, 2500, 4500, 6500, 8500, 10500},
                         .restartMs = 0});
        cases.push_back({.name = "SuspendedThenKilledWhileTheUiWaits",
                         .server = s,
                         .killsMs = {3000},
                         .suspendFirst = true});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Servers, HoldLineKill, ::testing::ValuesIn(Cases()), [](const auto& info) {
    return ServerName(info.param.server) + "_" + info.param.name;
});

// A swap stops the message for its pause and starts the new one while the
// suspension holds the replay back, as the swap does, and the server dies
// meanwhile: it is away when the new message starts, or it came back during
// the pause (the old stream is gone) and dies again as the new message
// starts, before the UI thread has heard of it.
class HoldLineSwapKill : public HoldLineRig, public ::testing::WithParamInterface<SoundServer> {
protected:
    HoldLineSwapKill() : HoldLineRig(GetParam(), 1.0) {}
};

TEST_P(HoldLineSwapKill, TheNewMessageIsHeardOnceTheServerIsBackAndTheLogSaysSo) {
    struct Case {
        const char* what;
        bool backInThePause;
    };
    startServer();
    makeChannel();
    channel_->start();
    std::uint32_t variant = 20;
    for (const Case c : {Case{"away when it starts", false},
                         Case{"back in the pause, dies unnoticed as it starts", true}}) {
        SCOPED_TRACE(c.what);
        ASSERT_GE(waitForPasses(1).size(), 1u) << journal();
        log_.lines.clear();

        state_.swap.replaySuspended = true;
        player_->stop();
        played_.reset();
        server_.crash();
        ASSERT_TRUE(waitFor(
            loop_, [&] { return connection_->down(); }, 10s));
        if (c.backInThePause) {
            ASSERT_TRUE(server_.start());
            ASSERT_TRUE(waitFor(
                loop_,
                [&] {
                    pulse::PulseConnection::Lock lock(*connection_);
                    return connection_->reachable(lock);
                },
                10s));
            server_.crash();
        }
        message_ = softNoise(kRate, ++variant);
        const QString promo = files_.filePath(QStringLiteral("promo%1.wav").arg(variant));
        writeSound(promo, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1, message_);
        state_.onAir.file = promo;
        EXPECT_NO_THROW(player_->play(promo));

        waitFor(
            loop_, [] { return false; }, 2s);
        ASSERT_TRUE(server_.start());
        listen();
        state_.swap.replaySuspended = false;
        EXPECT_GE(waitForPasses(2, 25s).size(), 2u)
            << "the new message never came on the hold device\n"
            << journal();
        EXPECT_TRUE(waitFor(
            loop_, [&] { return AccountEndsOnAir(log_.lines); }, 10s))
            << journal();
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, HoldLineSwapKill,
                         ::testing::Values(SoundServer::PulseAudio, SoundServer::PipeWire),
                         [](const auto& info) { return ServerName(info.param); });

}  // namespace
}  // namespace quindra::testing
