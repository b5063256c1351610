#include <sndfile.h>

#include <QDir>
#include <QFile>

#include "PulseFixture.h"
#include "support/Tones.h"

namespace quindra::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = 44100;
constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int kMp3 = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;

class PulsePlayback : public PulseFixture {
protected:
    void SetUp() override {
        PulseFixture::SetUp();
        if (HasFatalFailure())
            return;
        control_->addListener(&queued_);
    }

    // Plays the file and answers each end of a pass as the hold channel
    // does, with PlayFile of the same file, until `passes` passes have
    // ended. The file goes on looping afterwards.
    void loop(const QString& path, int passes, const std::function<void(int)>& beforePass = {}) {
        int ended = 0;
        control_->onPassEnded = [&] {
            EXPECT_TRUE(control_->playing()) << "the next pass already plays";
            ++ended;
            if (beforePass)
                beforePass(ended);
            control_->play(path);
        };
        if (beforePass)
            beforePass(0);
        control_->play(path);
        EXPECT_TRUE(control_->playing());
        const bool done = waitFor(
            loop_, [&] { return ended >= passes; }, 30s);
        control_->onPassEnded = nullptr;  // it refers to this frame
        ASSERT_TRUE(done) << ended << " of " << passes << " passes ended in time";
    }

    // What the hold device played, once it has played `length` samples of
    // sound and a little more after them.
    std::vector<std::int16_t> playedThrough(const std::vector<std::int16_t>& pattern,
                                            std::size_t length) {
        std::vector<std::int16_t> s;
        const bool heard = waitFor(loop_, [&] {
            s = played_->samples();
            const auto start = findStart(s, pattern);
            return start && s.size() >= *start + length + kRate / 5;
        });
        EXPECT_TRUE(heard) << "the hold device played " << s.size() << " samples, not " << length
                           << " of the message";
        return s;
    }

    SampleLog queued_;
};

// A file in the channel format (or an MP3 decoded to it) repeats in the
// output sample for sample: nothing is lost, nothing is inserted.
struct LoopCase {
    const char* name;
    int format;
    int answerMs;  // how long the UI thread is busy before it answers onPassEnded
};

void PrintTo(const LoopCase& c, std::ostream* os) {
    *os << c.name << " answered after " << c.answerMs << " ms";
}

class PulseGaplessLoop : public PulsePlayback, public ::testing::WithParamInterface<LoopCase> {};

TEST_P(PulseGaplessLoop, PassesFollowEachOtherWithoutASampleBetween) {
    const int passes = 6;
    const QString path = file(GetParam().name);
    writeSound(path, GetParam().format, kRate, 1, noise(kRate * 3 / 10));  // 0.3 s
    const auto pass = decodeSound(path);  // what libsndfile makes of it

    control_->open(kDefaultDevice, kHoldPlayback);
    loop(path, passes, [&](int) { loop_.pause(GetParam().answerMs); });

    const auto played = playedThrough(pass, pass.size() * passes);
    const auto start = findStart(played, pass);
    ASSERT_TRUE(start);
    EXPECT_GE(exactRepeats(played, *start, pass), passes);

    // The player's listeners got the same, in the player's rate.
    EXPECT_GE(exactRepeats(queued_.all, 0, pass), passes);
    EXPECT_TRUE(
        std::all_of(queued_.rates.begin(), queued_.rates.end(), [](int r) { return r == kRate; }));
}

INSTANTIATE_TEST_SUITE_P(Files, PulseGaplessLoop,
                         ::testing::Values(LoopCase{"noise.wav", kWav16, 0},
                                           LoopCase{"noise.mp3", kMp3, 0},
                                           // The pause after a channel opening.
                                           LoopCase{"busy.wav", kWav16, 300}),
                         [](const auto& info) {
                             return QString::fromLatin1(info.param.name)
                                 .replace(QLatin1Char('.'), QLatin1Char('_'))
                                 .toStdString();
                         });

TEST_F(PulsePlayback, AFileInAnotherRateAndChannelCountIsConverted) {
    const auto mono = sine(440, 48000, 16000 / 32768.0, 24000);  // 0.5 s
    std::vector<std::int16_t> stereo;
    for (auto v : mono)
        stereo.insert(stereo.end(), {v, v});
    writeSound(file("stereo48k.wav"), kWav16, 48000, 2, stereo);

    control_->open(kDefaultDevice, kHoldPlayback);
    loop(file("stereo48k.wav"), 1);
    const auto played = playedThrough({1}, kRate / 2);

    const auto first = findStart(played, {1});
    ASSERT_TRUE(first);
    const std::vector<std::int16_t> sound(played.begin() + static_cast<std::ptrdiff_t>(*first),
                                          played.end());
    EXPECT_GE(static_cast<double>(nonZero(sound)), kRate / 2 * 0.98);
    EXPECT_NEAR(frequency(sound, kRate), 440, 2);
    EXPECT_NEAR(rms(std::vector<std::int16_t>(sound.begin(), sound.begin() + kRate / 2)),
                16000 / std::sqrt(2.0), 16000 * 0.05);
}

TEST_F(PulsePlayback, TheStreamIsInThePlayFormat) {
    const auto pass = noise(kRate / 5);
    writeSound(file("msg.wav"), kWav16, kRate, 1, pass);
    control_->open(kDefaultDevice, kHoldPlayback);

    // 8 bit: the server widens each byte back to 16 bits, so what the hold
    // device plays is the file without its low byte.
    const WaveFormat eightBit{44100, 1, 8};
    control_->setPlayFormat(eightBit);
    EXPECT_THROW(control_->setPlayFormat({44100, 1, 32}), WaveError);
    EXPECT_EQ(control_->playFormat(), eightBit);
    loop(file("msg.wav"), 1);
    std::vector<std::int16_t> coarse(pass);
    for (auto& v : coarse)
        v = static_cast<std::int16_t>((v >> 8) * 256);
    const auto played = playedThrough(coarse, coarse.size());
    const auto start = findStart(played, coarse);
    ASSERT_TRUE(start);
    EXPECT_GE(exactRepeats(played, *start, coarse), 1);

    // Another rate: the file is converted to it, and the listeners are told.
    queued_ = {};
    control_->setPlayFormat({22050, 1, 16});
    loop(file("msg.wav"), 1);
    EXPECT_GE(static_cast<double>(queued_.all.size()), pass.size() / 2.0 - 50);
    // What the old stream played just before the change may still be on its
    // way to the listeners; what follows is in the new rate.
    ASSERT_FALSE(queued_.rates.empty());
    EXPECT_EQ(queued_.rates.back(), 22050);
}

TEST_F(PulsePlayback, AFileThatCannotBePlayedThrowsAndChangesNothing) {
    QFile(file("empty.wav")).open(QIODevice::WriteOnly);
    {
        QFile text(file("leia-me.mp3"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("Trocar a mensagem de espera toda segunda-feira.\n");
    }
    QDir(files_.path()).mkdir(QStringLiteral("pasta.wav"));
    const QStringList bad{file("missing.wav"), file("empty.wav"), file("leia-me.mp3"),
                          file("pasta.wav"), QString()};
    control_->open(kDefaultDevice, kHoldPlayback);
    for (const auto& path : bad) {
        EXPECT_THROW(control_->play(path), WaveError) << path.toStdString();
        EXPECT_FALSE(control_->playing());
    }

    // While a message plays, a refused file leaves it playing.
    writeSound(file("long.wav"), kWav16, kRate, 1, noise(kRate * 2));
    control_->play(file("long.wav"));
    for (const auto& path : bad) {
        EXPECT_THROW(control_->play(path), WaveError) << path.toStdString();
        EXPECT_TRUE(control_->playing());
    }
    const auto played = playedThrough(noise(kRate * 2), kRate * 2);
    const auto start = findStart(played, noise(kRate * 2));
    ASSERT_TRUE(start);
    EXPECT_EQ(exactRepeats(played, *start, noise(kRate * 2)), 1);
}

TEST_F(PulsePlayback, StopPlaySilencesAtOnceWithoutAnEndOfFile) {
    const auto message = noise(kRate * 3);
    writeSound(file("long.wav"), kWav16, kRate, 1, message);
    bool done = false;
    control_->onPassEnded = [&] { done = true; };
    control_->open(kDefaultDevice, kHoldPlayback);
    control_->play(file("long.wav"));
    ASSERT_TRUE(waitFor(loop_, [&] { return nonZero(played_->samples()) > kRate / 10; }));

    control_->stop();
    EXPECT_FALSE(control_->playing());
    const auto atStop = played_->size();
    ASSERT_TRUE(waitFor(loop_, [&] { return played_->size() > atStop + kRate * 3 / 2; }));

    const auto played = played_->samples();
    EXPECT_LT(nonZero(played), message.size() / 2);
    EXPECT_EQ(nonZero(played, played.size() - kRate / 2), 0u) << "still playing";
    EXPECT_FALSE(done);
}

TEST_F(PulsePlayback, ANewPlaybackDeviceIsUsedFromTheNextFileOn) {
    const auto pass = noise(kRate / 5);
    writeSound(file("short.wav"), kWav16, kRate, 1, pass);
    // A pass on the system default (the null sink), then the file started
    // again on the hold device.
    control_->open(kDefaultDevice, kDefaultDevice);
    loop(file("short.wav"), 1);
    EXPECT_EQ(nonZero(played_->samples()), 0u);
    control_->open(kDefaultDevice, kHoldPlayback);
    control_->play(file("short.wav"));
    const auto played = playedThrough(pass, pass.size() * 2);
    const auto start = findStart(played, pass);
    ASSERT_TRUE(start);
    EXPECT_GE(exactRepeats(played, *start, pass), 2);
}

TEST_F(PulsePlayback, PlayFileWhilePlayingStartsTheFileAgain) {
    const auto message = noise(kRate);
    writeSound(file("msg.wav"), kWav16, kRate, 1, message);
    control_->open(kDefaultDevice, kHoldPlayback);
    bool done = false;
    control_->onPassEnded = [&] { done = true; };
    control_->play(file("msg.wav"));
    ASSERT_TRUE(waitFor(loop_, [&] { return nonZero(played_->samples()) > kRate / 5; }));
    control_->play(file("msg.wav"));
    ASSERT_TRUE(waitFor(loop_, [&] { return done; }));

    // The cut-off beginning, then the whole file once.
    const auto played = playedThrough(message, kRate * 2);
    ASSERT_TRUE(findStart(played, message));
    const auto first = *findStart(played, message);
    std::size_t restart = first + 1;
    while (restart < played.size() && exactRepeats(played, restart, message) == 0)
        ++restart;
    ASSERT_LT(restart, played.size()) << "the file never played whole";
    EXPECT_LT(restart - first, message.size());
}

}  // namespace
}  // namespace quindra::testing
