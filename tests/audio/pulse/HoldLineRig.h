#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QStringList>
#include <QTemporaryDir>
#include <cstdlib>
#include <functional>
#include <memory>

#include "TestAudio.h"
#include "VirtualHoldDevice.h"
#include "audio/HoldChannel.h"
#include "audio/pulse/PulseWaveControl.h"
#include "core/MessageLog.h"
#include "core/QtEventLoop.h"
#include "core/Runtime.h"

namespace quindra::testing {

// The status log's lines, each also shown to a test that wants to act the
// moment one is written.
class HeardLog final : public MessageLog {
public:
    bool write(const QString& message) noexcept override {
        lines << message;
        if (onLine)
            onLine(message);
        return false;
    }
    QStringList lines;
    std::function<void(const QString&)> onLine;
};

// The hold channel on the real wave control, on a private PulseAudio or
// PipeWire with the virtual hold device, listened to as the switchboard
// hears it: what the hold device played, read back from its pipe. PipeWire
// converts to its graph rate and back, so passes are found by correlation;
// on PulseAudio they must also repeat sample for sample.
class HoldLineRig : public ::testing::Test {
protected:
    static constexpr int kRate = 44100;

    HoldLineRig(SoundServer server, double messageSeconds)
        : server_(server),
          message_(softNoise(static_cast<std::size_t>(kRate * messageSeconds), 5)) {}

    void SetUp() override {
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
    std::vector<std::size_t> waitForPasses(
        std::size_t passes, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
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
        const bool pipeWire = server_.server() == SoundServer::PipeWire;
        const long tolerance = pipeWire ? 1 : 0;
        for (long gap : joins(starts))
            EXPECT_LE(std::abs(gap), tolerance) << "samples inserted at a join";
        if (!pipeWire && !starts.empty()) {
            EXPECT_GE(exactRepeats(played_->samples(), starts.front(), message_),
                      static_cast<int>(starts.size()));
        }
    }

    bool logged(const QString& line) const { return log_.lines.contains(line); }
    bool waitForLine(const QString& line,
                     std::chrono::milliseconds limit = std::chrono::seconds(15)) {
        return waitFor(
            loop_, [&] { return logged(line); }, limit);
    }
    std::string journal() const { return log_.lines.join(QLatin1Char('\n')).toStdString(); }

    QtEventLoop loop_;
    VirtualHoldDevice server_;
    QTemporaryDir files_;
    std::vector<std::int16_t> message_;
    QString path_;
    RuntimeState state_;
    HeardLog log_;
    std::unique_ptr<PlayedAudio> played_;
    std::shared_ptr<pulse::PulseConnection> connection_;
    std::unique_ptr<pulse::PulseWaveControl> player_, monitor_, lister_;
    std::unique_ptr<HoldChannel> channel_;
};

inline std::string ServerName(SoundServer s) {
    return s == SoundServer::PipeWire ? "PipeWire" : "PulseAudio";
}

}  // namespace quindra::testing
