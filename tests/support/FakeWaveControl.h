#pragma once

#include <QStringList>
#include <algorithm>
#include <optional>
#include <vector>

#include "audio/WaveControl.h"

namespace quindra::testing {

// A wave control that records what it is told. Devices are a list of
// capture names; a name can be made unreadable or rejected; PlayFile can be
// made to fail; the test ends a file with finishFile().
class FakeWaveControl final : public WaveControl {
public:
    QStringList inputs;      // capture device names
    QStringList unreadable;  // names whose reading throws
    QStringList rejected;    // names the device setters refuse
    bool countFails = false;
    bool recordFails = false;
    bool playFails = false;
    QStringList calls;  // every operation, in order

    int WaveInDeviceCount() override {
        calls << QStringLiteral("WaveInDeviceCount");
        if (countFails)
            throw WaveError(QStringLiteral("count failed"));
        return static_cast<int>(inputs.size());
    }
    QString WaveInDeviceName(int index) override {
        calls << QStringLiteral("WaveInDeviceName %1").arg(index);
        const QString name = inputs.value(index);
        if (unreadable.contains(name))
            throw WaveError(QStringLiteral("unreadable"));
        return name;
    }
    void setWaveInDevice(const QString& name) override {
        calls << QStringLiteral("WaveInDevice ") + name;
        if (rejected.contains(name))
            throw WaveError(QStringLiteral("rejected ") + name);
        in_ = name;
    }
    QString WaveInDevice() const override { return in_; }
    void setWaveOutDevice(const QString& name) override {
        calls << QStringLiteral("WaveOutDevice ") + name;
        if (rejected.contains(name))
            throw WaveError(QStringLiteral("rejected ") + name);
        out_ = name;
    }
    QString WaveOutDevice() const override { return out_; }
    void setRecordBufferLength(int length) override {
        calls << QStringLiteral("RecordBufferLength %1").arg(length);
    }
    void setPlayFormatID(const QString& hex) override {
        calls << QStringLiteral("PlayFormatID ") + hex;
        formatId_ = hex;
    }
    QString PlayFormatID() const override { return formatId_; }
    void setPlayFormatName(const QString& name) override {
        calls << QStringLiteral("PlayFormatName ") + name;
        formatName_ = name;
    }
    QString PlayFormatName() const override { return formatName_; }
    bool Playing() const override { return playing_; }
    bool PlayFile(const QString& path) override {
        calls << QStringLiteral("PlayFile ") + path;
        if (playFails || path.isEmpty())
            throw WaveError(QStringLiteral("cannot play ") + path);
        playing_ = true;
        file_ = path;
        ++plays;
        return true;
    }
    void StopPlay() override {
        calls << QStringLiteral("StopPlay");
        playing_ = false;
    }
    void SetMode(int mode) override { calls << QStringLiteral("SetMode %1").arg(mode); }
    bool StartRecord(int flags) override {
        calls << QStringLiteral("StartRecord %1").arg(flags);
        if (recordFails)
            throw WaveError(QStringLiteral("record failed"));
        recording = true;
        return true;
    }
    void StopRecord() override {
        calls << QStringLiteral("StopRecord");
        recording = false;
    }
    void addSampleListener(SampleListener* l) override {
        if (std::find(listeners.begin(), listeners.end(), l) == listeners.end())
            listeners.push_back(l);
    }
    void removeSampleListener(SampleListener* l) override {
        listeners.erase(std::remove(listeners.begin(), listeners.end(), l), listeners.end());
    }

    // The file ends as the real control reports it: Playing turns false, then
    // OnPlayDone.
    void finishFile() {
        playing_ = false;
        if (OnPlayDone)
            OnPlayDone();
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
    QString in_;
    QString out_ = kWaveMapper;
    QString formatId_;
    QString formatName_;
    bool playing_ = false;
    QString file_;
};

}  // namespace quindra::testing
