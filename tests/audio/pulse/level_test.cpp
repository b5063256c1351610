#include <sndfile.h>

#include <QTemporaryDir>
#include <cmath>
#include <memory>

#include "../loudness/SpeechLike.h"
#include "PulseFixture.h"
#include "audio/loudness/FileSound.h"
#include "audio/loudness/SoundMeter.h"
#include "audio/loudness/SoundVerdict.h"
#include "support/WaitFor.h"

namespace quindra::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = 44100;
constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

std::size_t firstSound(const std::vector<std::int16_t>& s) {
    return static_cast<std::size_t>(
        std::find_if(s.begin(), s.end(), [](std::int16_t v) { return v != 0; }) - s.begin());
}

// The player with levelling, on both sound servers, heard as the switchboard
// hears it: what the hold device played is measured with libebur128.
class Levelling : public ::testing::TestWithParam<SoundServer> {
protected:
    Levelling() : server_(GetParam()) {}

    void SetUp() override {
        ASSERT_TRUE(server_.start());
        played_ = std::make_unique<PlayedAudio>(server_.playedFifo());
        connection_ = std::make_shared<pulse::PulseConnection>(loop_);
        control_ = std::make_unique<pulse::PulseWaveControl>(connection_);
        control_->open(kDefaultDevice, kHoldPlayback);
    }
    void TearDown() override {
        if (control_)
            control_->onPassEnded = nullptr;
    }

    QString message(const char* name, const std::vector<std::int16_t>& sound) {
        const QString path = files_.filePath(QString::fromLatin1(name));
        writeSound(path, kWav16, kRate, 1, sound);
        control_->setFileGain(path, loudness::LevellingGainDb(loudness::MeasureFile(path)));
        return path;
    }

    // Plays the file in a loop, as the hold channel answers each pass's end.
    void loopOn(const QString& path) {
        control_->onPassEnded = [this, path] { control_->play(path); };
        control_->play(path);
    }

    // What the hold device plays from now on, for `seconds` once it sounds.
    std::vector<std::int16_t> listen(double seconds) {
        const std::size_t from = played_->size();
        const auto wanted = static_cast<std::size_t>(seconds * kRate);
        std::vector<std::int16_t> heard;
        waitFor(
            loop_,
            [&] {
                const auto all = played_->samples();
                heard.assign(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
                const std::size_t start = firstSound(heard);
                return start < heard.size() && heard.size() - start >= wanted;
            },
            30s);
        const std::size_t start = firstSound(heard);
        EXPECT_LT(start, heard.size()) << "the hold device played no sound";
        if (start >= heard.size())
            return {};
        heard.erase(heard.begin(), heard.begin() + static_cast<std::ptrdiff_t>(start));
        heard.resize(std::min(heard.size(), wanted));
        return heard;
    }

    static double lufs(const std::vector<std::int16_t>& s) {
        loudness::SoundMeter meter(kRate);
        meter.add(s.data(), s.size());
        return meter.figures().loudnessLufs.value_or(-99.0);
    }

    QtEventLoop loop_;
    VirtualHoldDevice server_;
    QTemporaryDir files_;
    std::unique_ptr<PlayedAudio> played_;
    std::shared_ptr<pulse::PulseConnection> connection_;
    std::unique_ptr<pulse::PulseWaveControl> control_;
};

TEST_P(Levelling, TwoMessages15DbApartArePlayedAtOneLoudness) {
    const QString loud = message("alta.wav", bandSound(3, kRate, 350, 3200, -16, true));
    const QString quiet =
        message("baixa.wav", bandSound(3, kRate, 350, 3200, -31, true, 1.0, 40, 9));
    control_->setLevelling(true);

    loopOn(loud);
    const double loudPlayed = lufs(listen(6.0));
    control_->stop();
    loopOn(quiet);
    const double quietPlayed = lufs(listen(6.0));
    control_->stop();

    EXPECT_NEAR(loudPlayed, quietPlayed, 1.0);
    EXPECT_NEAR(loudPlayed, loudness::kSpeechLevelLufs, 1.5);
}

// A change of the setting is heard at once, eased in: the passes still
// follow each other without a sample added or lost, and on PulseAudio, once
// eased in, every sample is the file's at the message's gain.
TEST_P(Levelling, TurningItOnWhilePlayingInsertsNothing) {
    const auto sound = bandSound(1, kRate, 350, 3200, -16);
    const QString path = message("promo.wav", sound);
    const double gain = std::pow(10.0, loudness::LevellingGainDb(loudness::MeasureFile(path)) / 20);
    ASSERT_LT(gain, 0.5) << "the message is loud enough for the change to show";
    loopOn(path);
    listen(1.5);
    control_->setLevelling(true);
    listen(3.0);
    control_->stop();

    const auto played = played_->samples();
    const auto starts = passStarts(played, sound);
    ASSERT_GE(starts.size(), 4u);
    const long tolerance = GetParam() == SoundServer::PipeWire ? 1 : 0;
    for (std::size_t i = 1; i < starts.size(); ++i) {
        EXPECT_LE(std::abs(static_cast<long>(starts[i] - starts[i - 1]) -
                           static_cast<long>(sound.size())),
                  tolerance)
            << "at the join before pass " << i;
    }
    if (GetParam() == SoundServer::PipeWire)
        return;
    const std::size_t last = starts.back();  // a whole pass, levelled
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const long expected = std::clamp(std::lround(sound[i] * gain), -32768L, 32767L);
        ASSERT_EQ(played[last + i], expected) << "sample " << i << " of the last whole pass";
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, Levelling,
                         ::testing::Values(SoundServer::PulseAudio, SoundServer::PipeWire),
                         [](const auto& info) {
                             return info.param == SoundServer::PipeWire ? "PipeWire" : "PulseAudio";
                         });

}  // namespace
}  // namespace quindra::testing
