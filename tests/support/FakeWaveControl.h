#pragma once

#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "ports/WaveControl.h"

namespace quindra::testing {

// A wave control that records what it is told. Devices are a list of
// capture names; a name can be rejected; play() can be made to fail; the
// test ends a pass with endPass() (the control has already started the next
// one, as the real player does) or finishFile() (a control that stops at the
// end of a file). A player can be made to need several stop() calls, and a
// test can act on each call. The sound server's side is told by the test
// (loseSound, restoreSound), or made silent without a word (silent).
class FakeWaveControl final : public WaveControl {
public:
    QStringList inputs;    // capture device names
    QStringList rejected;  // names open() refuses
    bool listFails = false;
    bool captureFails = false;
    bool playFails = false;
    QStringList calls;    // every operation, in order
    int stopsToStop = 1;  // stop() calls it takes before playing() turns false
    // Runs as each operation is recorded, before it takes effect.
    std::function<void(const QString& call)> onCall;

    // How a device appears in the calls: its name, or "default".
    static QString shown(const DeviceChoice& d) {
        return d.isSystemDefault() ? QStringLiteral("default") : d.name();
    }

    QStringList captureDevices() override {
        record(QStringLiteral("captureDevices"));
        if (listFails)
            throw WaveError(QStringLiteral("list failed"));
        return inputs;
    }
    void open(const DeviceChoice& capture, const DeviceChoice& playback) override {
        record(QStringLiteral("open %1 | %2").arg(shown(capture), shown(playback)));
        for (const DeviceChoice* d : {&capture, &playback}) {
            if (!d->isSystemDefault() && rejected.contains(d->name()))
                throw WaveError(QStringLiteral("rejected ") + d->name());
            (d == &capture ? in_ : out_) = *d;
        }
    }
    DeviceChoice captureDevice() const override { return in_; }
    DeviceChoice playbackDevice() const override { return out_; }
    void setPlayFormat(const WaveFormat& format) override {
        record(QStringLiteral("format %1 Hz %2 ch %3 bit")
                   .arg(format.rate)
                   .arg(format.channels)
                   .arg(format.bits));
        format_ = format;
    }
    WaveFormat playFormat() const override { return format_; }
    bool playing() const override { return playing_; }
    void play(const QString& path) override {
        record(QStringLiteral("play ") + path);
        if (playFails || path.isEmpty())
            throw WaveError(QStringLiteral("cannot play ") + path);
        // From onPassEnded, the file that plays goes on where it is.
        if (!(inPassEnd_ && playing_ && path == file_))
            ++starts_;
        playing_ = true;
        stops_ = 0;
        file_ = path;
        ++plays;
        // As the real control does: a loss told is over once a file sounds.
        if (std::exchange(lossTold_, false) && onRestored)
            onRestored();
    }
    unsigned starts() const override { return starts_; }
    // A playing control that is not made silent plays on: every look finds
    // more frames played.
    std::uint64_t framesPlayed() const override {
        if (playing_ && !silent)
            frames_ += 441;
        return frames_;
    }
    void stop() override {
        record(QStringLiteral("stop"));
        if (++stops_ >= stopsToStop) {
            playing_ = false;
            stops_ = 0;
        }
    }
    // Kept apart from the calls, so that their order reads as before.
    void setLevelling(bool on) override { levelling = on; }
    void setFileGain(const QString& path, std::optional<double> gainDb) override {
        if (gainDb)
            gains.insert(path, *gainDb);
        else
            gains.remove(path);
    }
    void startCapture(int bufferBytes) override {
        record(QStringLiteral("startCapture %1").arg(bufferBytes));
        if (captureFails)
            throw WaveError(QStringLiteral("capture failed"));
        capturing = true;
    }
    void stopCapture() override {
        record(QStringLiteral("stopCapture"));
        capturing = false;
    }
    void addListener(SampleListener* l) override {
        if (std::find(listeners.begin(), listeners.end(), l) == listeners.end())
            listeners.push_back(l);
    }
    void removeListener(SampleListener* l) override {
        listeners.erase(std::remove(listeners.begin(), listeners.end(), l), listeners.end());
    }

    // A pass ends as the real control reports it: the next pass already
    // plays, then onPassEnded.
    void endPass() {
        inPassEnd_ = true;
        if (onPassEnded)
            onPassEnded();
        inPassEnd_ = false;
    }
    // A file ends on a control that does not loop: playing() turns false,
    // then onPassEnded.
    void finishFile() {
        playing_ = false;
        if (onPassEnded)
            onPassEnded();
    }
    // The sound server's side of the player and the device list.
    void loseSound(PlaybackLoss why) {
        lossTold_ = why != PlaybackLoss::FileFailed;
        if (onLost)
            onLost(why);
    }
    void restoreSound() {
        lossTold_ = false;
        if (onRestored)
            onRestored();
    }
    void underrun() {
        if (onUnderrun)
            onUnderrun();
    }
    void changeDevices() {
        if (onDevicesChanged)
            onDevicesChanged();
    }
    void feed(const std::vector<std::int16_t>& s, int rate) {
        for (auto* l : listeners)
            l->samples(s.data(), s.size(), rate);
    }

    const QString& file() const { return file_; }
    int plays = 0;
    bool capturing = false;
    bool levelling = false;
    QHash<QString, double> gains;  // dB, by path
    bool silent = false;           // playing, yet the device takes nothing
    std::vector<SampleListener*> listeners;

private:
    void record(const QString& call) {
        calls << call;
        if (onCall)
            onCall(call);
    }

    int stops_ = 0;
    unsigned starts_ = 0;
    bool inPassEnd_ = false;
    DeviceChoice in_ = DeviceChoice::systemDefault();
    DeviceChoice out_ = DeviceChoice::systemDefault();
    WaveFormat format_;
    bool playing_ = false;
    bool lossTold_ = false;
    mutable std::uint64_t frames_ = 0;
    QString file_;
};

}  // namespace quindra::testing
