#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "audio/views/MonitorView.h"
#include "support/FakeWaveControl.h"
#include "support/Tones.h"

using namespace quindra;
using namespace quindra::testing;
using Kind = MonitorView::Kind;

namespace {

bool listens(const FakeWaveControl& c, const MonitorView* v) {
    return std::count(c.listeners.begin(), c.listeners.end(), v) == 1;
}

// A view inside a window, as on the main page.
class ShownView : public ::testing::Test {
protected:
    void SetUp() override { window.show(); }
    MonitorView& make(Kind kind) {
        view = std::make_unique<MonitorView>(kind, &window);
        view->show();
        return *view;
    }
    // Sources outlive the view, as the main window keeps them.
    FakeWaveControl a;
    FakeWaveControl b;
    QWidget window;
    std::unique_ptr<MonitorView> view;
};

TEST_F(ShownView, WaveSourceMovesTheListenerFromControlToControl) {
    MonitorView& v = make(Kind::Spectrum);
    v.setSource(&a);
    EXPECT_TRUE(listens(a, &v));
    EXPECT_FALSE(listens(b, &v));

    v.setSource(&b);  // as a click on the file panel does
    EXPECT_FALSE(listens(a, &v));
    EXPECT_TRUE(listens(b, &v));
    EXPECT_EQ(v.source(), &b);

    v.setSource(&b);
    EXPECT_EQ(b.listeners.size(), 1U);

    v.setSource(nullptr);
    EXPECT_TRUE(a.listeners.empty());
    EXPECT_TRUE(b.listeners.empty());
    EXPECT_EQ(v.source(), nullptr);
}

TEST_F(ShownView, DestroyedViewLeavesItsSource) {
    make(Kind::Waveform).setSource(&a);
    ASSERT_EQ(a.listeners.size(), 1U);
    view.reset();
    EXPECT_TRUE(a.listeners.empty());
    a.feed(sine(1000, 8000, 0.5, 256), 8000);  // nobody left to call
}

TEST_F(ShownView, OldSourceNoLongerReachesTheView) {
    MonitorView& v = make(Kind::Waveform);
    v.setSource(&a);
    v.setSource(&b);
    a.feed(ramp(0, 100), 8000);
    EXPECT_TRUE(v.buffer().empty());
    b.feed(ramp(0, 100), 8000);
    EXPECT_EQ(v.buffer().size(), 100U);
}

TEST(MonitorViewVisibility, FramesAndListeningOnlyWhileShown) {
    FakeWaveControl source;
    QWidget window;
    auto* v = new MonitorView(Kind::Level, &window);  // owned by the window

    v->setSource(&source);  // the window may still be hidden at start-up
    EXPECT_FALSE(v->frameTimerActive());
    EXPECT_TRUE(source.listeners.empty());
    EXPECT_EQ(v->source(), &source);

    window.show();
    EXPECT_TRUE(v->frameTimerActive());
    EXPECT_TRUE(listens(source, v));

    window.hide();  // to the tray
    EXPECT_FALSE(v->frameTimerActive());
    EXPECT_TRUE(source.listeners.empty());

    window.show();
    window.showMinimized();
    EXPECT_FALSE(v->frameTimerActive());
    EXPECT_TRUE(source.listeners.empty());

    window.showNormal();
    EXPECT_TRUE(v->frameTimerActive());
    EXPECT_TRUE(listens(source, v));
    v->hide();  // the view alone, as on another tab
    EXPECT_FALSE(v->frameTimerActive());
    EXPECT_TRUE(source.listeners.empty());

    v->show();
    EXPECT_TRUE(v->frameTimerActive());
    EXPECT_TRUE(listens(source, v));
}

TEST_F(ShownView, StartsAtTheCaptureRateAndFollowsEachChunksRate) {
    struct Case {
        double hz;
        int rate;
    };
    for (const Case c : {Case{1000, 8000}, Case{5000, 44100}, Case{440, 8000}}) {
        SCOPED_TRACE(c.rate);
        MonitorView& v = make(Kind::Spectrum);
        EXPECT_EQ(v.sampleRate(), MonitorView::kDefaultRate);
        v.setSource(&a);
        const auto tone = sine(c.hz, c.rate, 0.5, 2048);
        a.feed({tone.begin(), tone.begin() + 1000}, c.rate);
        a.feed({tone.begin() + 1000, tone.end()}, c.rate);
        v.tick();

        EXPECT_EQ(v.sampleRate(), c.rate);
        const auto shown = v.spectrumDb();
        const auto peak = std::max_element(shown.begin(), shown.end()) - shown.begin();
        EXPECT_EQ(peak, std::lround(c.hz * MonitorView::kFftSize / c.rate));
    }
}

TEST_F(ShownView, NewRateStartsTheBufferAfresh) {
    MonitorView& v = make(Kind::Waveform);
    v.setSource(&a);
    a.feed(ramp(0, 3000), 8000);
    a.feed(ramp(7, 100), 44100);
    EXPECT_EQ(v.buffer().size(), 100U);
    v.tick();
    const auto wave = v.waveSamples();
    EXPECT_EQ(std::vector<std::int16_t>(wave.begin(), wave.end()), ramp(7, 100));
}

TEST_F(ShownView, WaveShowsTheLatestSamplesAfterChunksOfAnySize) {
    MonitorView& v = make(Kind::Waveform);
    v.setSource(&a);
    const std::size_t window = std::lround(MonitorView::kWaveSeconds * 8000);
    std::size_t total = 0;
    for (const std::size_t n : {std::size_t{20000}, std::size_t{1}, std::size_t{0}, std::size_t{7},
                                std::size_t{1024}, std::size_t{1}}) {
        a.feed(ramp(total, n), 8000);
        total += n;
    }
    EXPECT_EQ(v.buffer().size(), MonitorView::kBufferSamples);
    v.tick();
    const auto wave = v.waveSamples();
    EXPECT_EQ(std::vector<std::int16_t>(wave.begin(), wave.end()), ramp(total - window, window));

    // A tiny chunk moves the picture on by exactly what it brings.
    a.feed({9}, 8000);
    v.tick();
    EXPECT_EQ(v.waveSamples().back(), 9);
    EXPECT_EQ(v.waveSamples()[window - 2], static_cast<std::int16_t>(total - 1));
}

TEST_F(ShownView, VolumeMeasuresTheToneAndComesToRestWhenTheSourceStops) {
    MonitorView& v = make(Kind::Level);
    v.setSource(&a);
    a.feed(sine(1000, 8000, 0.25, 1024), 8000);
    v.tick();
    EXPECT_NEAR(v.level().measured().peakDb, 20 * std::log10(0.25), 0.02);
    EXPECT_NEAR(v.level().barDb(), 20 * std::log10(0.25 / std::sqrt(2.0)), 0.02);

    // Capture stopped: the picture holds a moment, then the meter falls.
    for (int i = 0; i < 5; ++i)
        v.tick();
    EXPECT_NEAR(v.level().barDb(), 20 * std::log10(0.25 / std::sqrt(2.0)), 0.02);
    for (int i = 0; i < 10 * MonitorView::kFramesPerSecond; ++i)
        v.tick();
    EXPECT_TRUE(v.buffer().empty());
    EXPECT_EQ(v.level().barDb(), kSilenceDb);
    EXPECT_EQ(v.level().heldPeakDb(), kSilenceDb);
}

TEST_F(ShownView, DetachedSpectrumFallsToTheFloor) {
    MonitorView& v = make(Kind::Spectrum);
    v.setSource(&a);
    a.feed(sine(1000, 8000, 0.5, 1024), 8000);
    v.tick();
    ASSERT_GT(v.spectrumDb()[128], -10);
    v.setSource(nullptr);
    for (float m : v.spectrumDb())
        ASSERT_EQ(m, kSpectrumFloorDb);
}

// --- Rendering --------------------------------------------------------------
//
// Each kind painted with a tone. Set QUINDRA_VIEW_IMAGES to a folder to keep
// the pictures for a look.

struct Picture {
    QImage image;
    static constexpr int kMargin = 3;
    static bool light(QRgb c) { return qGray(c) > 150; }
    // Topmost light pixel of column x, or -1.
    int top(int x) const {
        for (int y = 0; y < image.height(); ++y)
            if (light(image.pixel(x, y)))
                return y;
        return -1;
    }
    int bottom(int x) const {
        for (int y = image.height() - 1; y >= 0; --y)
            if (light(image.pixel(x, y)))
                return y;
        return -1;
    }
};

Picture render(Kind kind, QSize size, const std::vector<std::int16_t>& tone, const char* name) {
    FakeWaveControl source;
    MonitorView v(kind);
    v.resize(size);
    v.show();
    v.setSource(&source);
    source.feed(tone, 8000);
    v.tick();
    Picture pic{v.grab().toImage().convertToFormat(QImage::Format_RGB32)};
    if (const QByteArray dir = qgetenv("QUINDRA_VIEW_IMAGES"); !dir.isEmpty())
        pic.image.save(QDir(QString::fromLocal8Bit(dir)).filePath(QLatin1String(name)));
    return pic;
}

TEST(MonitorViewPicture, SpectrumBarStandsAtTheTonesFrequency) {
    const Picture pic =
        render(Kind::Spectrum, {240, 120}, sine(1000, 8000, 0.5, 2048), "spectrum.png");
    ASSERT_EQ(pic.image.size(), QSize(240, 120));
    EXPECT_EQ(pic.image.pixel(0, 0), qRgb(65, 71, 81));

    int tallest = -1;
    int tallestTop = pic.image.height();
    for (int x = 0; x < pic.image.width(); ++x) {
        const int t = pic.top(x);
        if (t >= 0 && t < tallestTop) {
            tallestTop = t;
            tallest = x;
        }
    }
    const LogFrequencyAxis axis(MonitorView::kLowestHz, 4000);
    const double expected = Picture::kMargin + axis.position(1000) * (240 - 2 * Picture::kMargin);
    EXPECT_NEAR(tallest, expected, 6);
    // -6 dB of a 90 dB range, below the top margin.
    EXPECT_NEAR(tallestTop, Picture::kMargin + 6.0 / 90 * 100, 4);
}

TEST(MonitorViewPicture, WaveTraceSpansTheTonesAmplitude) {
    const Picture pic = render(Kind::Waveform, {240, 120}, sine(400, 8000, 0.5, 2048), "wave.png");
    EXPECT_EQ(pic.image.pixel(0, 0), qRgb(65, 71, 81));
    int top = pic.image.height();
    int bottom = -1;
    for (int x = 0; x < pic.image.width(); ++x) {
        if (pic.top(x) >= 0)
            top = std::min(top, pic.top(x));
        bottom = std::max(bottom, pic.bottom(x));
    }
    // Half of the half-height either side of the middle.
    const double half = (120 - 2 * Picture::kMargin) / 2.0;
    EXPECT_NEAR(top, 60 - half / 2, 2);
    EXPECT_NEAR(bottom, 60 + half / 2, 2);
}

TEST(MonitorViewPicture, VolumeBarAndPeakMarkerStandAtTheirLevels) {
    const Picture pic = render(Kind::Level, {36, 120}, sine(1000, 8000, 0.5, 2048), "volume.png");
    EXPECT_EQ(pic.image.pixel(0, pic.image.height() - 1), qRgb(65, 71, 81));
    const int x = pic.image.width() - Picture::kMargin - 3;  // inside the bar
    const double plot = 120 - 2 * Picture::kMargin;
    // Peak marker at -6 dB, bar top at the RMS, -9 dB, on a 60 dB scale.
    EXPECT_NEAR(pic.top(x), Picture::kMargin + 6.02 / 60 * plot, 2);
    int barTop = -1;
    for (int y = pic.top(x) + 3; y < pic.image.height(); ++y) {
        if (pic.image.pixel(x, y) != qRgb(54, 59, 68)) {
            barTop = y;
            break;
        }
    }
    EXPECT_NEAR(barTop, Picture::kMargin + 9.03 / 60 * plot, 2);
    EXPECT_NE(pic.image.pixel(x, 110), qRgb(54, 59, 68));
}

}  // namespace

namespace {

// A screen reader hears the level in dB and the spectrum's strongest
// frequency, told at most once a second, and silence as such.
TEST_F(ShownView, AScreenReaderHearsTheLevelAndTheStrongestFrequency) {
    const struct {
        Kind kind;
        QAccessible::Role role;
        double value;
        double tolerance;
        const char* unit;
    } cases[] = {
        {Kind::Level, QAccessible::ProgressBar, std::round(20 * std::log10(0.25 / std::sqrt(2.0))),
         0.0, " dB"},
        {Kind::Spectrum, QAccessible::Chart, 1000.0, 8000.0 / MonitorView::kFftSize, " Hz"},
    };
    const QString silence = QStringLiteral("silêncio");
    for (const auto& c : cases) {
        MonitorView& v = make(c.kind);
        v.setSource(&a);
        QAccessibleInterface* acc = QAccessible::queryAccessibleInterface(&v);
        ASSERT_NE(acc, nullptr);
        ASSERT_NE(acc->valueInterface(), nullptr);
        EXPECT_EQ(acc->role(), c.role);
        EXPECT_EQ(acc->text(QAccessible::Value), silence);

        for (int i = 0; i < MonitorView::kSpokenEveryFrames - 1; ++i) {
            a.feed(sine(1000, 8000, 0.25, 320), 8000);
            v.tick();
        }
        EXPECT_EQ(acc->text(QAccessible::Value), silence) << "renewed once a second at most";
        a.feed(sine(1000, 8000, 0.25, 320), 8000);
        v.tick();
        EXPECT_NEAR(acc->valueInterface()->currentValue().toDouble(), c.value, c.tolerance);
        EXPECT_TRUE(acc->text(QAccessible::Value).endsWith(QLatin1String(c.unit)))
            << acc->text(QAccessible::Value).toStdString();
        EXPECT_EQ(acc->text(QAccessible::Description), acc->text(QAccessible::Value));

        for (int i = 0; i < 10 * MonitorView::kFramesPerSecond; ++i)
            v.tick();
        EXPECT_EQ(acc->text(QAccessible::Value), silence);
    }
}

}  // namespace
