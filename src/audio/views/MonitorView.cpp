#include "audio/views/MonitorView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDebug>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cmath>
#include <exception>

namespace quindra {

namespace {

constexpr double kFrameSeconds = 1.0 / MonitorView::kFramesPerSecond;
// Without new samples for half a second the source has stopped: show rest.
constexpr int kQuietFrames = MonitorView::kFramesPerSecond / 2;
constexpr float kSpectrumFallDbPerFrame = 60.0F / MonitorView::kFramesPerSecond;

// The status log's slate, a shade darker for tracks, and light traces on it.
const QColor kBackground(65, 71, 81);
const QColor kTrack(54, 59, 68);
const QColor kGrid(86, 93, 105);
const QColor kLabel(176, 184, 196);
const QColor kSpectrumLow(104, 168, 224);
const QColor kSpectrumHigh(206, 236, 255);
const QColor kWaveTrace(176, 236, 196);
const QColor kLevelLow(120, 214, 140);
const QColor kLevelMid(238, 218, 112);
const QColor kLevelHigh(240, 112, 100);
const QColor kPeakMarker(245, 247, 250);

constexpr int kLabelPixels = 9;
constexpr qreal kMargin = 3.0;

QFont labelFont(const QFont& base) {
    QFont f = base;
    f.setPixelSize(kLabelPixels);
    return f;
}

// Below this the level view says silence, as its bar shows nothing.
constexpr double kSpokenFloorDb = -MonitorView::kLevelRangeDb;
// A spectrum whose strongest bin is this low holds no tone worth naming.
constexpr float kSpokenSpectrumFloorDb = -MonitorView::kSpectrumRangeDb;

// The views as a screen reader sees them: the level a progress bar, the
// spectrum a chart, each with the value it shows.
class MonitorAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit MonitorAccessible(MonitorView* view)
        : QAccessibleWidget(view, view->kind() == MonitorView::Kind::Level
                                      ? QAccessible::ProgressBar
                                      : QAccessible::Chart) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface && view()->kind() != MonitorView::Kind::Waveform)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value || t == QAccessible::Description) {
            const QString spoken = view()->spokenText();
            if (!spoken.isEmpty())
                return spoken;
        }
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return view()->spokenValue().value_or(minimum()); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override {
        return view()->kind() == MonitorView::Kind::Level ? 0.0 : 24000.0;
    }
    QVariant minimumValue() const override { return minimum(); }
    QVariant minimumStepSize() const override { return 1.0; }

private:
    MonitorView* view() const { return static_cast<MonitorView*>(widget()); }
    double minimum() const {
        return view()->kind() == MonitorView::Kind::Level ? kSpokenFloorDb : 0.0;
    }
};

QAccessibleInterface* monitorAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(MonitorView::staticMetaObject.className()))
        return new MonitorAccessible(static_cast<MonitorView*>(object));
    return nullptr;
}

}  // namespace

MonitorView::MonitorView(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (kind_ == Kind::Level)
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    else
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    switch (kind_) {
        case Kind::Spectrum:
            analyzer_.emplace(kFftSize);
            shownSpectrum_.assign(analyzer_->binCount(), kSpectrumFloorDb);
            break;
        case Kind::Waveform:
            waveSnapshot_.resize(kBufferSamples);
            break;
        case Kind::Level:
            break;
    }

    frameTimer_.setInterval(1000 / kFramesPerSecond);
    connect(&frameTimer_, &QTimer::timeout, this, &MonitorView::tick);
    // Qt owns the interfaces a factory makes, one per view.
    static const bool accessible = (QAccessible::installFactory(monitorAccessible), true);
    (void)accessible;
}

MonitorView::~MonitorView() {
    try {
        detach();
    } catch (const std::exception& e) {
        qWarning() << "monitor view could not leave its wave source:" << e.what();
    }
}

void MonitorView::setSource(WaveControl* source) {
    if (source == source_)
        return;
    detach();
    source_ = source;
    restart();
    if (shown_)
        attach();
    update();
}

void MonitorView::attach() {
    if (source_ == nullptr || listening_)
        return;
    source_->addListener(this);
    listening_ = true;
}

void MonitorView::detach() {
    if (!listening_)
        return;
    source_->removeListener(this);
    listening_ = false;
}

void MonitorView::restart() {
    ring_.clear();
    fresh_ = 0;
    quietFrames_ = 0;
    std::fill(shownSpectrum_.begin(), shownSpectrum_.end(), kSpectrumFloorDb);
    spectrumFalling_ = false;
    waveCount_ = 0;
    meter_.reset();
    meterSeconds_ = 0.0;
}

void MonitorView::samples(const std::int16_t* data, std::size_t count, int rate) {
    if (rate <= 0)
        return;
    if (rate != rate_) {
        // Samples of two rates in one window would read as a wrong picture.
        rate_ = rate;
        ring_.clear();
    }
    if (count == 0)
        return;
    ring_.push({data, count});
    fresh_ = std::min(fresh_ + count, ring_.capacity());
}

std::size_t MonitorView::samplesFor(double seconds) const {
    return static_cast<std::size_t>(std::lround(seconds * rate_));
}

std::span<const std::int16_t> MonitorView::latest(std::size_t count) {
    count = std::min(count, scratch_.size());
    const std::size_t n = ring_.copyLatest({scratch_.data(), count});
    return {scratch_.data(), n};
}

std::span<const std::int16_t> MonitorView::waveSamples() const {
    return {waveSnapshot_.data(), waveCount_};
}

void MonitorView::tick() {
    const std::size_t arrived = fresh_;
    fresh_ = 0;
    bool stale = false;
    if (arrived > 0) {
        quietFrames_ = 0;
    } else if (quietFrames_ < kQuietFrames && ++quietFrames_ == kQuietFrames && !ring_.empty()) {
        ring_.clear();
        stale = true;
    }
    const bool renew = arrived > 0 || stale;

    bool changed = false;
    switch (kind_) {
        case Kind::Spectrum:
            if (renew)
                analyzer_->analyse(latest(kFftSize));
            if (renew || spectrumFalling_) {
                spectrumFalling_ =
                    fallTowards(shownSpectrum_, analyzer_->magnitudesDb(), kSpectrumFallDbPerFrame);
                changed = true;
            }
            break;
        case Kind::Waveform:
            if (renew) {
                const auto s = latest(samplesFor(kWaveSeconds));
                std::copy(s.begin(), s.end(), waveSnapshot_.begin());
                waveCount_ = s.size();
                changed = true;
            }
            break;
        case Kind::Level:
            // Capture chunks come a few frames apart: the meter holds between
            // them and measures each on arrival, over at least its window.
            meterSeconds_ += kFrameSeconds;
            if (renew || (ring_.empty() && meter_.settling())) {
                meter_.update(latest(std::max(arrived, samplesFor(kLevelSeconds))), meterSeconds_);
                meterSeconds_ = 0.0;
                changed = true;
            }
            break;
    }
    if (changed)
        update();
    if (++framesSinceSpoken_ >= kSpokenEveryFrames) {
        framesSinceSpoken_ = 0;
        speak();
    }
}

std::optional<double> MonitorView::shownValue() const {
    switch (kind_) {
        case Kind::Level:
            if (meter_.barDb() < kSpokenFloorDb)
                return std::nullopt;
            return std::round(meter_.barDb());
        case Kind::Spectrum: {
            const std::size_t peak = analyzer_->peakBin();
            if (ring_.empty() || peak == 0 || shownSpectrum_[peak] < kSpokenSpectrumFloorDb)
                return std::nullopt;
            return std::round(binFrequency(peak, analyzer_->size(), rate_));
        }
        case Kind::Waveform:
            break;
    }
    return std::nullopt;
}

QString MonitorView::spokenText() const {
    if (kind_ == Kind::Waveform)
        return {};
    if (!spokenValue_)
        return QStringLiteral("silêncio");
    return QStringLiteral("%1 %2")
        .arg(*spokenValue_, 0, 'f', 0)
        .arg(kind_ == Kind::Level ? QStringLiteral("dB") : QStringLiteral("Hz"));
}

// Only a change is told, and at most once a second, so a screen reader is
// not flooded by a view that moves 25 times a second.
void MonitorView::speak() {
    const std::optional<double> now = shownValue();
    if (now == spokenValue_)
        return;
    spokenValue_ = now;
    QAccessibleValueChangeEvent event(this, spokenValue_.value_or(0.0));
    QAccessible::updateAccessibility(&event);
}

void MonitorView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    shown_ = true;
    restart();
    frameTimer_.start();
    try {
        attach();
    } catch (const std::exception& e) {
        qWarning() << "monitor view could not listen to its wave source:" << e.what();
    }
}

void MonitorView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    shown_ = false;
    frameTimer_.stop();
    try {
        detach();
    } catch (const std::exception& e) {
        qWarning() << "monitor view could not leave its wave source:" << e.what();
    }
}

QSize MonitorView::sizeHint() const {
    return kind_ == Kind::Level ? QSize(36, 120) : QSize(240, 120);
}

QSize MonitorView::minimumSizeHint() const {
    return kind_ == Kind::Level ? QSize(20, 40) : QSize(64, 40);
}

void MonitorView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    const QRectF area = QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (area.width() < 4 || area.height() < 4)
        return;
    p.setFont(labelFont(font()));
    switch (kind_) {
        case Kind::Spectrum:
            paintSpectrum(p, area);
            break;
        case Kind::Waveform:
            paintWaveform(p, area);
            break;
        case Kind::Level:
            paintLevel(p, area);
            break;
    }
}

void MonitorView::paintSpectrum(QPainter& p, const QRectF& area) {
    const QFontMetricsF fm(p.font());
    const bool labelled = area.height() >= 4 * fm.height();
    QRectF plot = area;
    if (labelled)
        plot.setBottom(area.bottom() - fm.height());

    const LogFrequencyAxis axis(kLowestHz, rate_ / 2.0);
    const auto dbToY = [&](float db) {
        const float clamped = std::clamp(db, -kSpectrumRangeDb, 0.0F);
        return plot.top() + plot.height() * static_cast<qreal>(-clamped / kSpectrumRangeDb);
    };

    p.setPen(kGrid);
    for (float db = -30.0F; db > -kSpectrumRangeDb; db -= 30.0F)
        p.drawLine(QPointF(plot.left(), dbToY(db)), QPointF(plot.right(), dbToY(db)));

    static constexpr std::array<double, 8> kMarks{100, 200, 500, 1000, 2000, 5000, 10000, 20000};
    qreal labelEnd = plot.left() - 1.0;
    for (const double hz : kMarks) {
        if (hz >= axis.high())
            break;
        const qreal x = plot.left() + axis.position(hz) * plot.width();
        p.setPen(kGrid);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        if (!labelled)
            continue;
        const QString text = hz < 1000 ? QString::number(hz) : QStringLiteral("%1k").arg(hz / 1000);
        const qreal w = fm.horizontalAdvance(text);
        const qreal left = std::max(x - w / 2, plot.left());
        if (left <= labelEnd + 3 || left + w > area.right())
            continue;
        p.setPen(kLabel);
        p.drawText(QPointF(left, area.bottom() - fm.descent()), text);
        labelEnd = left + w;
    }

    const auto count = static_cast<std::size_t>(std::max(1.0, std::floor(plot.width() / 5.0)));
    if (bands_.size() != count)
        bands_.resize(count);
    spectrumBands(shownSpectrum_, rate_, axis, bands_);

    QLinearGradient fill(0, plot.bottom(), 0, plot.top());
    fill.setColorAt(0.0, kSpectrumLow);
    fill.setColorAt(1.0, kSpectrumHigh);
    const qreal step = plot.width() / static_cast<qreal>(count);
    for (std::size_t b = 0; b < count; ++b) {
        const qreal top = dbToY(bands_[b]);
        if (top >= plot.bottom())
            continue;
        const qreal x = plot.left() + step * static_cast<qreal>(b);
        p.fillRect(QRectF(QPointF(x, top), QPointF(x + std::max(1.0, step - 1.0), plot.bottom())),
                   fill);
    }
}

void MonitorView::paintWaveform(QPainter& p, const QRectF& area) {
    const qreal mid = area.center().y();
    const qreal half = area.height() / 2.0;
    p.setPen(kGrid);
    p.drawLine(QPointF(area.left(), mid - half / 2), QPointF(area.right(), mid - half / 2));
    p.drawLine(QPointF(area.left(), mid + half / 2), QPointF(area.right(), mid + half / 2));

    const auto width = static_cast<std::size_t>(area.width());
    if (columns_.size() != width)
        columns_.resize(width);
    const std::size_t count = decimate(waveSamples(), columns_);

    p.setRenderHint(QPainter::Antialiasing);
    // A one-pixel pen keeps Qt on its fast line path; wider pens go through
    // the stroker and cost several milliseconds a frame.
    p.setPen(QPen(kWaveTrace, 1.0));
    if (count < 2) {
        p.drawLine(QPointF(area.left(), mid), QPointF(area.right(), mid));
        return;
    }
    // Each column's low and high in turn: dense columns become filled
    // strokes, sparse ones a plain line through the samples.
    QPolygonF trace;
    trace.reserve(static_cast<qsizetype>(2 * count));
    const qreal step = area.width() / static_cast<qreal>(count - 1);
    for (std::size_t c = 0; c < count; ++c) {
        const qreal x = area.left() + step * static_cast<qreal>(c);
        trace << QPointF(x, mid - columns_[c].low * half);
        if (columns_[c].high != columns_[c].low)
            trace << QPointF(x, mid - columns_[c].high * half);
    }
    p.drawPolyline(trace);
}

void MonitorView::paintLevel(QPainter& p, const QRectF& area) {
    const QFontMetricsF fm(p.font());
    const bool labelled = area.width() >= 28;
    const qreal barWidth = labelled ? std::max(8.0, area.width() * 0.4) : area.width() - 4;
    const QRectF bar(area.right() - barWidth, area.top(), barWidth, area.height());

    const auto dbToY = [&](double db) {
        const double clamped = std::clamp(db, -kLevelRangeDb, 0.0);
        return bar.top() + bar.height() * (-clamped / kLevelRangeDb);
    };

    static constexpr std::array<int, 7> kTicks{0, -6, -12, -20, -30, -40, -60};
    qreal lastLabel = -1e9;
    for (const int db : kTicks) {
        const qreal y = dbToY(db);
        p.setPen(kGrid);
        p.drawLine(QPointF(bar.left() - 4, y), QPointF(bar.left() - 1, y));
        if (!labelled || y - lastLabel < 1.25 * fm.height())
            continue;
        const QString text = QString::number(db);
        const qreal baseline =
            std::clamp(y + fm.ascent() / 2 - 1, area.top() + fm.ascent(), area.bottom());
        p.setPen(kLabel);
        p.drawText(QPointF(bar.left() - 6 - fm.horizontalAdvance(text), baseline), text);
        lastLabel = y;
    }

    p.fillRect(bar, kTrack);
    QLinearGradient fill(0, bar.bottom(), 0, bar.top());
    fill.setColorAt(0.0, kLevelLow);
    fill.setColorAt(1.0 - 12.0 / kLevelRangeDb, kLevelLow);
    fill.setColorAt(1.0 - 6.0 / kLevelRangeDb, kLevelMid);
    fill.setColorAt(1.0 - 3.0 / kLevelRangeDb, kLevelMid);
    fill.setColorAt(1.0, kLevelHigh);
    const qreal top = dbToY(meter_.barDb());
    if (top < bar.bottom())
        p.fillRect(QRectF(QPointF(bar.left(), top), bar.bottomRight()), fill);

    if (meter_.heldPeakDb() > -kLevelRangeDb) {
        const qreal y = dbToY(meter_.heldPeakDb());
        p.fillRect(QRectF(bar.left(), std::min(y, bar.bottom() - 2), bar.width(), 2), kPeakMarker);
    }
}

}  // namespace quindra
