#pragma once

#include <QTimer>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "audio/views/Level.h"
#include "audio/views/SampleRing.h"
#include "audio/views/Spectrum.h"
#include "audio/views/Waveform.h"
#include "ports/WaveControl.h"

namespace quindra {

// One monitoring view of the main page: the spectrum, the waveform or the
// level of the audio a wave control plays or captures.
//
// Receiving samples only copies them into a fixed buffer; the analysis and
// the repaint happen on a frame timer, which runs only while the view is
// shown. While hidden (its own hide, a hidden or minimised window, another
// tab) the view is also off its source's listener list, so it costs nothing;
// it listens again when shown.
//
// The source must outlive the view, or be replaced first (setSource).
class MonitorView final : public QWidget, public SampleListener {
    Q_OBJECT
public:
    enum class Kind { Spectrum, Waveform, Level };
    Q_ENUM(Kind)

    // The capture format of the monitoring control; each chunk may say
    // otherwise, and the view follows it.
    static constexpr int kDefaultRate = 8000;
    static constexpr int kFramesPerSecond = 25;
    // Room for the longest window any kind reads, up to 96 kHz streams.
    static constexpr std::size_t kBufferSamples = 8192;
    static constexpr std::size_t kFftSize = 1024;
    static constexpr double kWaveSeconds = 0.025;
    static constexpr double kLevelSeconds = 0.05;
    static constexpr double kLowestHz = 50.0;
    // Shown range of the spectrum and of the level bar.
    static constexpr float kSpectrumRangeDb = 90.0F;
    static constexpr double kLevelRangeDb = 60.0;

    explicit MonitorView(Kind kind, QWidget* parent = nullptr);
    ~MonitorView() override;

    Kind kind() const { return kind_; }

    // Follows `source` from now on, leaving the previous one; nullptr leaves
    // it and shows rest.
    void setSource(WaveControl* source);
    WaveControl* source() const { return source_; }

    // SampleListener: copies the chunk; a new rate starts the buffer afresh.
    void samples(const std::int16_t* data, std::size_t count, int rate) override;

    // One frame: analyses what arrived and schedules a repaint when the
    // picture changes. The frame timer calls it.
    void tick();

    int sampleRate() const { return rate_; }
    bool frameTimerActive() const { return frameTimer_.isActive(); }
    const SampleRing& buffer() const { return ring_; }
    // What the next paint draws, by kind: dB per FFT bin (Spectrum), the
    // newest samples (Waveform), the meter (Level).
    std::span<const float> spectrumDb() const { return shownSpectrum_; }
    std::span<const std::int16_t> waveSamples() const;
    const LevelMeter& level() const { return meter_; }

    // What a screen reader is told the view shows, renewed at most once a
    // second: the level in dB, the spectrum's strongest frequency in Hz;
    // none in silence and for the waveform.
    std::optional<double> spokenValue() const { return spokenValue_; }
    QString spokenText() const;
    static constexpr int kSpokenEveryFrames = kFramesPerSecond;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void attach();
    void detach();
    void restart();
    std::size_t samplesFor(double seconds) const;
    std::span<const std::int16_t> latest(std::size_t count);

    std::optional<double> shownValue() const;
    void speak();

    void paintSpectrum(QPainter& p, const QRectF& area);
    void paintWaveform(QPainter& p, const QRectF& area);
    void paintLevel(QPainter& p, const QRectF& area);

    const Kind kind_;
    WaveControl* source_ = nullptr;
    bool listening_ = false;
    bool shown_ = false;

    int rate_ = kDefaultRate;
    SampleRing ring_{kBufferSamples};
    std::vector<std::int16_t> scratch_ = std::vector<std::int16_t>(kBufferSamples);
    std::size_t fresh_ = 0;  // samples since the last frame
    int quietFrames_ = 0;
    QTimer frameTimer_;

    std::optional<SpectrumAnalyzer> analyzer_;
    std::vector<float> shownSpectrum_;
    bool spectrumFalling_ = false;
    std::vector<float> bands_;

    std::size_t waveCount_ = 0;  // newest samples kept in waveSnapshot_
    std::vector<std::int16_t> waveSnapshot_;
    std::vector<ColumnSpan> columns_;

    LevelMeter meter_;
    double meterSeconds_ = 0.0;  // since the meter's last update

    std::optional<double> spokenValue_;
    int framesSinceSpoken_ = 0;
};

}  // namespace quindra
