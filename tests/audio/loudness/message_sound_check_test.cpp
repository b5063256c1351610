#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "audio/loudness/MessageSoundCheck.h"
#include "audio/loudness/SoundVerdict.h"
#include "core/AppError.h"
#include "core/Runtime.h"
#include "core/VirtualEventLoop.h"
#include "support/FakeLog.h"
#include "support/FakeWaveControl.h"

using namespace quindra;
using namespace quindra::loudness;
using namespace quindra::testing;

namespace {

const SoundFigures kFine{32.4, -24.0, -6.0, 0.04, 0};
const SoundFigures kQuiet{12.0, -41.0, -28.0, 0.1, 0};

// Measures by a table of figures per path, in the order asked; a path can
// be held until the test lets it go, and one that is not in the table fails.
class TableMeasure {
public:
    QHash<QString, QList<SoundFigures>> figures;

    void hold(const QString& path) {
        std::lock_guard lock(mutex_);
        held_ = path;
    }
    void release() {
        {
            std::lock_guard lock(mutex_);
            held_.clear();
        }
        wake_.notify_all();
    }
    SoundFigures operator()(const QString& path, const std::atomic<bool>& stop) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return held_ != path || stop.load(); });
            ++measured_[path];
        }
        const QList<SoundFigures> list = figures.value(path);
        if (list.isEmpty())
            throw AppError(QStringLiteral("o arquivo não pôde ser lido"));
        return list.at(std::min<qsizetype>(measured_[path] - 1, list.size() - 1));
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    QString held_;
    QHash<QString, int> measured_;
};

class MessageSoundCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        dropped_ = dir_.filePath(QStringLiteral("promo.wav"));
        onAir_ = dir_.filePath(QStringLiteral("Audio/promo.wav"));
        QDir(dir_.path()).mkdir(QStringLiteral("Audio"));
        for (const QString& p : {dropped_, onAir_}) {
            QFile f(p);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(1000, 'x'));
        }
    }

    MessageSoundCheck::Version version(std::int64_t modified) const {
        return {.size = 1000, .modifiedNs = modified, .changedNs = modified, .inode = 7};
    }

    // Lets every measure asked for come back.
    void settle() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!check_.idle() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        loop_.processPendingMessages();
    }

    void swap() {
        onAir.file = onAir_;
        check_.swapped();
    }

    QTemporaryDir dir_;
    QString dropped_, onAir_;
    VirtualEventLoop loop_;
    FakeLog log_;
    FakeWaveControl player_;
    MessageOnAir onAir;
    TableMeasure measure_;
    MessageSoundCheck check_{{.loop = loop_,
                              .log = log_,
                              .player = player_,
                              .onAir = onAir,
                              .measure = [this](const QString& p, const std::atomic<bool>& s) {
                                  return measure_(p, s);
                              }}};
};

TEST_F(MessageSoundCheckTest, AFileMeasuredWhileItSettledIsToldAtItsSwap) {
    measure_.figures[dropped_] = {kQuiet};
    check_.dropped(dropped_, version(1));
    settle();
    EXPECT_TRUE(log_.lines.isEmpty()) << "nothing is said before the swap";

    swap();
    const QStringList lines{FiguresLine(kQuiet), WarningLine(kQuiet)};
    EXPECT_EQ(log_.lines, lines);
    EXPECT_EQ(onAir.soundNotes, lines);
    EXPECT_DOUBLE_EQ(player_.gains.value(onAir_), LevellingGainDb(kQuiet));
}

TEST_F(MessageSoundCheckTest, OnlyTheLastStateOfAChangingFileCounts) {
    measure_.figures[dropped_] = {kQuiet, kFine};
    check_.dropped(dropped_, version(1));
    settle();
    check_.dropped(dropped_, version(1));  // unchanged: not measured again
    check_.dropped(dropped_, version(2));
    settle();
    swap();
    EXPECT_EQ(log_.lines, QStringList{FiguresLine(kFine)});
    EXPECT_DOUBLE_EQ(player_.gains.value(onAir_), LevellingGainDb(kFine));
}

// The swap never waits: a measure that has not ended is finished on the copy
// on air, and its lines come when it ends; meanwhile the message plays as it
// is, whatever gain an earlier message of that name had.
TEST_F(MessageSoundCheckTest, ASwapBeforeTheMeasureEndsIsToldLater) {
    measure_.figures[dropped_] = {kQuiet};
    measure_.figures[onAir_] = {kQuiet};
    player_.gains.insert(onAir_, 12.0);
    measure_.hold(dropped_);
    check_.dropped(dropped_, version(1));
    swap();
    EXPECT_TRUE(log_.lines.isEmpty());
    EXPECT_EQ(onAir.soundNotes, QStringList{AnalysisPendingLine()});
    EXPECT_FALSE(player_.gains.contains(onAir_));

    measure_.release();
    settle();
    EXPECT_EQ(log_.lines, (QStringList{FiguresLine(kQuiet), WarningLine(kQuiet)}));
    EXPECT_DOUBLE_EQ(player_.gains.value(onAir_), LevellingGainDb(kQuiet));
}

TEST_F(MessageSoundCheckTest, AMessageNeverSeenInTheDropFolderIsMeasuredOnAir) {
    measure_.figures[onAir_] = {kFine};
    swap();
    settle();
    EXPECT_EQ(log_.lines, QStringList{FiguresLine(kFine)});
}

TEST_F(MessageSoundCheckTest, AFailedMeasureSaysWhy) {
    check_.dropped(dropped_, version(1));
    settle();
    swap();
    EXPECT_EQ(log_.lines, QStringList{AnalysisFailedLine(QStringLiteral("o arquivo não pôde ser "
                                                                        "lido"))});
    EXPECT_FALSE(player_.gains.contains(onAir_));
}

TEST_F(MessageSoundCheckTest, TheStartUpMessageGetsItsGainInSilence) {
    measure_.figures[onAir_] = {kQuiet};
    check_.startedWith(onAir_);
    settle();
    EXPECT_TRUE(log_.lines.isEmpty());
    EXPECT_DOUBLE_EQ(player_.gains.value(onAir_), LevellingGainDb(kQuiet));
}

}  // namespace
