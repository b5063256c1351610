#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/AppError.h"

namespace quindra {

// A failure of the sound system: a device that is not there, a file that
// cannot be played, a server that does not answer.
class WaveError : public AppError {
public:
    using AppError::AppError;
};

// Takes the audio that a wave control plays or captures, for display.
class SampleListener {
public:
    virtual ~SampleListener() = default;
    // On the UI thread: mono 16-bit samples at `rate` samples per second.
    virtual void samples(const std::int16_t* data, std::size_t count, int rate) = 0;
};

// The system default playback device.
inline const QString kWaveMapper = QStringLiteral("[WAVE_MAPPER]");

// The hold message's format, as a WAVEFORMATEX in hex and by name: PCM,
// 1 channel, 44100 Hz, 16 bit.
inline const QString kPlayFormatID = QStringLiteral("0100010044AC000088580100020010000000");
inline const QString kPlayFormatName = QStringLiteral("PCM 44.100 kHz; 16 Bit; Mono");

// One wave in/out control: lists devices, plays a file on an output device,
// captures from an input device. Every call comes from the UI thread and
// every event arrives on it. Any operation may throw WaveError.
class WaveControl {
public:
    virtual ~WaveControl() = default;

    // Capture devices, as named to the operator ("Microfone (Q-ZORBE)").
    virtual int WaveInDeviceCount() = 0;
    virtual QString WaveInDeviceName(int index) = 0;

    // Selects the capture device by the name WaveInDeviceName gives; an
    // unknown name throws.
    virtual void setWaveInDevice(const QString& name) = 0;
    virtual QString WaveInDevice() const = 0;
    // Selects the playback device ("Alto-falantes (Q-ZORBE)") or the default
    // one, kWaveMapper; an unknown name throws.
    virtual void setWaveOutDevice(const QString& name) = 0;
    virtual QString WaveOutDevice() const = 0;

    virtual void setRecordBufferLength(int length) = 0;
    // Hex of a WAVEFORMATEX: the format the player's stream uses. Files in
    // another format are converted to it.
    virtual void setPlayFormatID(const QString& hex) = 0;
    virtual QString PlayFormatID() const = 0;
    virtual void setPlayFormatName(const QString& name) = 0;
    virtual QString PlayFormatName() const = 0;

    // True from PlayFile until the file's last sample is queued, or StopPlay.
    virtual bool Playing() const = 0;
    // Starts a WAV or MP3 file on the playback device and returns at once.
    // Called right after OnPlayDone, it continues the same stream with no gap.
    // Throws when the file cannot be opened or decoded.
    virtual bool PlayFile(const QString& path) = 0;
    virtual void StopPlay() = 0;

    // Capture: SetMode, then StartRecord, feeding the sample listeners.
    virtual void SetMode(int mode) = 0;
    virtual bool StartRecord(int flags) = 0;
    virtual void StopRecord() = 0;

    virtual void addSampleListener(SampleListener* l) = 0;
    virtual void removeSampleListener(SampleListener* l) = 0;

    // The file has played to its end (its last sample is queued).
    std::function<void()> OnPlayDone;
};

}  // namespace quindra
