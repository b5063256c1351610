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

// Why a playing message fell silent without a StopPlay.
enum class PlaybackLoss {
    ServerGone,       // the sound server stopped or restarted
    DeviceGone,       // the playback device left the sound server
    StreamEnded,      // the server ended the stream (killed, failed)
    DeviceSuspended,  // the server suspended the playback device
    FileFailed,       // the file could not be read after all
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

    // True from PlayFile until StopPlay. The file loops by itself: when it
    // ends, its next pass is already playing.
    virtual bool Playing() const = 0;
    // Starts a WAV or MP3 file on the playback device and returns at once;
    // the file is read and decoded away from the caller's thread. Called
    // from OnPlayDone with the file that is playing, it continues the pass
    // already under way; any other call starts the file from its beginning.
    // Throws when the file is plainly no sound file (missing, empty, not WAV
    // or MP3); a file that fails later is told through OnPlaybackLost.
    virtual bool PlayFile(const QString& path) = 0;
    // Ends the playback, its loop included.
    virtual void StopPlay() = 0;
    // How many times PlayFile started a file from its beginning (a call that
    // continues the pass under way does not count): tells the handler of
    // OnPlayDone whether the message was started anew since it last looked.
    virtual unsigned PlayStarts() const = 0;

    // Capture: SetMode, then StartRecord, feeding the sample listeners.
    virtual void SetMode(int mode) = 0;
    virtual bool StartRecord(int flags) = 0;
    virtual void StopRecord() = 0;

    virtual void addSampleListener(SampleListener* l) = 0;
    virtual void removeSampleListener(SampleListener* l) = 0;

    // The file has played to its end (its last sample is queued); its next
    // pass has already begun.
    std::function<void()> OnPlayDone;
    // The message was playing and fell silent without a StopPlay; the
    // control brings it back by itself, from the file's beginning, as soon
    // as it can (not after FileFailed).
    std::function<void(PlaybackLoss)> OnPlaybackLost;
    // The message lost before is sounding again, whether brought back by
    // the control or started anew by PlayFile after a StopPlay.
    std::function<void()> OnPlaybackRestored;
    // The playback device ran out of sound to play while the message was
    // on air (a gap on the line).
    std::function<void()> OnUnderrun;
    // The sound server's devices may have changed: one came, went or
    // changed, or the server itself came or went. A burst is told once.
    std::function<void()> OnDevicesChanged;
};

}  // namespace quindra
