#pragma once

#include <QStringList>
#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "ports/WaveControl.h"

namespace quindra::testing {

// A wave control that records what it is told. Devices are a list of
// capture names; a name can be made unreadable or rejected; PlayFile can be
// made to fail; the test ends a pass with endPass() (the control has already
// started the next one, as the real player does) or finishFile() (a control
// that stops at the end of a file). A player can be made to need several
// StopPlay calls, and a test can act on each call.
class FakeWaveControl final : public WaveControl {
public:
    QStringList inputs;      // capture device names
    QStringList unreadable;  // names whose reading throws
    QStringList rejected;    // names the device setters refuse
    bool countFails = false;
    bool recordFails = false;
    bool playFails = false;
    QStringList calls;    // every operation, in order
    int stopsToStop = 1;  // StopPlay calls it takes before Playing turns false
    // Runs as each operation is recorded, before it takes effect.
    std::function<void(const QString& call)> onCall;

    int WaveInDeviceCount() override {
        record(QStringLiteral("WaveInDeviceCount"));
        if (countFails)
            throw WaveError(QStringLiteral("count failed"));
        return static_cast<int>(inputs.size());
    }
    QString WaveInDeviceName(int index) override {
        record(QStringLiteral("WaveInDeviceName %1").arg(index));
        const QString name = inputs.value(index);
        if (unreadable.contains(name))
            throw WaveError(QStringLiteral("unreadable"));
        return name;
    }
    void setWaveInDevice(const QString& name) override {
        record(QStringLiteral("WaveInDevice ") + name);
        if (rejected.contains(name))
            throw WaveError(QStringLiteral("rejected ") + name);
        in_ = name;
    }
    QString WaveInDevice() const override { return in_; }
    void setWaveOutDevice(const QString& name) override {
        record(QStringLiteral("WaveOutDevice ") + name);
        if (rejected.contains(name))
            throw WaveError(QStringLiteral("rejected ") + name);
        out_ = name;
    }
    QString WaveOutDevice() const override { return out_; }
    void setRecordBufferLength(int length) override {
        record(QStringLiteral("RecordBufferLength %1").arg(length));
    }
    void setPlayFormatID(const QString& hex) override {
        record(QStringLiteral("PlayFormatID ") + hex);
        formatId_ = hex;
    }
    QString PlayFormatID() const override { return formatId_; }
    void setPlayFormatName(const QString& name) override {
        record(QStringLiteral("PlayFormatName ") + name);
        formatName_ = name;
    }
    QString PlayFormatName() const override { return formatName_; }
    bool Playing() const override { return playing_; }
    bool PlayFile(const QString& path) override {
        record(QStringLiteral("PlayFile ") + path);
        if (playFails || path.isEmpty())
            throw WaveError(QStringLiteral("cannot play ") + path);
        // From OnPlayDone, the file that plays goes on where it is.
        if (!(inPassEnd_ && playing_ && path == file_))
            ++starts_;
        playing_ = true;
        stops_ = 0;
        file_ = path;
        ++plays;
        return true;
    }
    unsigned PlayStarts() const override { return starts_; }
    void StopPlay() override {
        record(QStringLiteral("StopPlay"));
        if (++stops_ >= stopsToStop) {
            playing_ = false;
            stops_ = 0;
        }
    }
    void SetMode(int mode) override { record(QStringLiteral("SetMode %1").arg(mode)); }
    bool StartRecord(int flags) override {
        record(QStringLiteral("StartRecord %1").arg(flags));
        if (recordFails)
            throw WaveError(QStringLiteral("record failed"));
        recording = true;
        return true;
    }
    void StopRecord() override {
        record(QStringLiteral("StopRecord"));
        recording = false;
    }
    void addSampleListener(SampleListener* l) override {
        if (std::find(listeners.begin(), listeners.end(), l) == listeners.end())
            listeners.push_back(l);
    }
    void removeSampleListener(SampleListener* l) override {
        listeners.erase(std::remove(listeners.begin(), listeners.end(), l), listeners.end());
    }

    // A pass ends as the real control reports it: the next pass already
    // plays, then OnPlayDone.
    void endPass() {
        inPassEnd_ = true;
        if (OnPlayDone)
            OnPlayDone();
        inPassEnd_ = false;
    }
    // A file ends on a control that does not loop: Playing turns false, then
    // OnPlayDone.
    void finishFile() {
        playing_ = false;
        if (OnPlayDone)
            OnPlayDone();
    }
    // The sound server's side of the player and the device list.
    void loseSound(PlaybackLoss why) {
        if (OnPlaybackLost)
            OnPlaybackLost(why);
    }
    void restoreSound() {
        if (OnPlaybackRestored)
            OnPlaybackRestored();
    }
    void underrun() {
        if (OnUnderrun)
            OnUnderrun();
    }
    void changeDevices() {
        if (OnDevicesChanged)
            OnDevicesChanged();
    }
    void feed(const std::vector<std::int16_t>& s, int rate) {
        for (auto* l : listeners)
            l->samples(s.data(), s.size(), rate);
    }

    const QString& file() const { return file_; }
    int plays = 0;
    bool recording = false;
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
    QString in_;
    QString out_ = kWaveMapper;
    QString formatId_;
    QString formatName_;
    bool playing_ = false;
    QString file_;
};

}  // namespace quindra::testing
