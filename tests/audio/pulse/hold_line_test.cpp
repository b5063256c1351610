#include <gtest/gtest.h>
#include <sndfile.h>

#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "TestAudio.h"
#include "VirtualHoldDevice.h"
#include "audio/HoldChannel.h"
#include "audio/pulse/PulseWaveControl.h"
#include "core/QtEventLoop.h"
#include "core/Runtime.h"
#include "support/FakeLog.h"

namespace quindra::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = 44100;

QString pactl(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The hold channel on the real wave control, on a private PulseAudio or
// PipeWire with the virtual hold device, listened to as the switchboard
// hears it: what the hold device played, read back from its pipe. PipeWire
// converts to its graph rate and back, so passes are found by correlation;
// on PulseAudio they must also repeat sample for sample.
class HoldLine : public ::testing::TestWithParam<SoundServer> {
protected:
    void SetUp() override {
        message_ = softNoise(kRate * 2, 5);  // a 2-second message
        path_ = files_.filePath(QStringLiteral("espera.wav"));
        writeSound(path_, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1, message_);
        state_.onAir.file = path_;
    }

    void startServer() {
        ASSERT_TRUE(server_.start());
        listen();
    }
    void listen() { played_ = std::make_unique<PlayedAudio>(server_.playedFifo()); }

    void makeChannel() {
        connection_ = std::make_shared<pulse::PulseConnection>(loop_);
        player_ = std::make_unique<pulse::PulseWaveControl>(connection_);
        monitor_ = std::make_unique<pulse::PulseWaveControl>(connection_);
        lister_ = std::make_unique<pulse::PulseWaveControl>(connection_);
        channel_ =
            std::make_unique<HoldChannel>(HoldChannel::Controls{*player_, *monitor_, *lister_},
                                          state_.channel, state_, log_, loop_, nullptr);
    }

    // Waits for `passes` whole passes of the message on the hold device,
    // one right after the other.
    std::vector<std::size_t> waitForPasses(std::size_t passes,
                                           std::chrono::milliseconds limit = 20s) {
        std::vector<std::size_t> starts;
        waitFor(
            loop_,
            [&] {
                starts = passStarts(played_->samples(), message_);
                return starts.size() >= passes;
            },
            limit);
        return starts;
    }

    // Samples inserted (or, negative, lost) at each join between passes.
    std::vector<long> joins(const std::vector<std::size_t>& starts) const {
        std::vector<long> gaps;
        for (std::size_t i = 1; i < starts.size(); ++i)
            gaps.push_back(static_cast<long>(starts[i] - starts[i - 1]) -
                           static_cast<long>(message_.size()));
        return gaps;
    }

    void expectJoinsWithoutGaps(const std::vector<std::size_t>& starts) {
        const long tolerance = GetParam() == SoundServer::PipeWire ? 1 : 0;
        for (long gap : joins(starts))
            EXPECT_LE(std::abs(gap), tolerance) << "samples inserted at a join";
        if (GetParam() == SoundServer::PulseAudio && !starts.empty()) {
            EXPECT_GE(exactRepeats(played_->samples(), starts.front(), message_),
                      static_cast<int>(starts.size()));
        }
    }

    bool logged(const QString& line) const { return log_.lines.contains(line); }
    bool waitForLine(const QString& line, std::chrono::milliseconds limit = 15s) {
        return waitFor(
            loop_, [&] { return logged(line); }, limit);
    }

    QtEventLoop loop_;
    VirtualHoldDevice server_{GetParam()};
    QTemporaryDir files_;
    std::vector<std::int16_t> message_;
    QString path_;
    RuntimeState state_;
    FakeLog log_;
    std::unique_ptr<PlayedAudio> played_;
    std::shared_ptr<pulse::PulseConnection> connection_;
    std::unique_ptr<pulse::PulseWaveControl> player_, monitor_, lister_;
    std::unique_ptr<HoldChannel> channel_;
};

const QString kBack = QStringLiteral("A mensagem de espera voltou ao ar.");

// The player loops the message by itself: the UI thread, blocked for five
// seconds in the middle of it, is never heard on the line.
TEST_P(HoldLine, TheLoopGoesOnWithoutAGapWhileTheUiThreadIsBlocked) {
    startServer();
    makeChannel();
    channel_->start();
    ASSERT_TRUE(state_.channel.active);
    ASSERT_EQ(waitForPasses(1).size(), 1u) << "the message never went on air";

    loop_.pause(5000);

    const auto starts = waitForPasses(5);
    ASSERT_GE(starts.size(), 5u);
    expectJoinsWithoutGaps(starts);
    EXPECT_EQ(channel_->underruns(), 0);
    EXPECT_EQ(log_.lines, QStringList{QStringLiteral("Stream inicializado com sucesso.")});
}

// The hold device leaves the sound server and comes back without any USB
// event (a profile change, a rebuilt node): the stream is not moved to the
// default device meanwhile, the silence and the return are written, and the
// message plays again from its beginning, with the capture running again.
TEST_P(HoldLine, TheHoldDeviceRemovedAndCreatedAgainBringsTheMessageBack) {
    struct Case {
        const char* what;
        bool sinkOnly;
    };
    for (const Case c : {Case{"sink and source", false}, Case{"sink only", true}}) {
        SCOPED_TRACE(c.what);
        if (!connection_) {
            startServer();
            makeChannel();
            channel_->start();
        }
        ASSERT_FALSE(waitForPasses(1).empty());
        log_.lines.clear();

        played_.reset();
        ASSERT_TRUE(server_.unplug(c.sinkOnly));
        ASSERT_TRUE(
            waitForLine(QStringLiteral("O dispositivo de áudio da espera saiu do servidor "
                                       "de som; a mensagem de espera está fora do ar.")))
            << log_.lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(
            pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")}),
            QString())
            << "the message went to another device";

        ASSERT_TRUE(server_.replug(c.sinkOnly));
        listen();
        EXPECT_TRUE(waitForLine(kBack));
        const auto starts = waitForPasses(2);
        EXPECT_GE(starts.size(), 2u);
        expectJoinsWithoutGaps(starts);
        EXPECT_TRUE(waitFor(
            loop_, [&] { return monitor_->capturing(); }, 10s));
    }
}

// The program starts before the sound server (an autostart that beats the
// desktop's server), and the server restarts later: each time the channel
// comes up by itself, with a line for the silence and one for the return.
TEST_P(HoldLine, AServerThatStartsLateOrRestartsBringsTheChannelUp) {
    makeChannel();
    EXPECT_TRUE(waitForLine(QStringLiteral("O servidor de som não está disponível; o canal da "
                                           "espera será aberto quando o hardware da espera "
                                           "aparecer nele."),
                            5s));
    startServer();
    ASSERT_TRUE(waitFor(
        loop_, [&] { return state_.channel.active; }, 20s))
        << log_.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(log_.lines.contains(QStringLiteral("O hardware da espera foi localizado.")));
    EXPECT_GE(waitForPasses(2).size(), 2u);

    log_.lines.clear();
    played_.reset();
    server_.crash();
    EXPECT_TRUE(waitForLine(
        QStringLiteral("O servidor de som parou; a mensagem de espera está fora do ar.")));
    ASSERT_TRUE(server_.start());
    listen();
    EXPECT_TRUE(waitForLine(kBack, 20s));
    EXPECT_GE(waitForPasses(2).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Servers, HoldLine,
                         ::testing::Values(SoundServer::PulseAudio, SoundServer::PipeWire),
                         [](const auto& info) {
                             return info.param == SoundServer::PipeWire ? "PipeWire" : "PulseAudio";
                         });

}  // namespace
}  // namespace quindra::testing
