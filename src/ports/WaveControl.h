#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

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

// Why a playing message fell silent without a stop().
enum class PlaybackLoss {
    ServerGone,       // the sound server stopped or restarted
    DeviceGone,       // the playback device left the sound server
    StreamEnded,      // the server ended the stream (killed, failed)
    DeviceSuspended,  // the server suspended the playback device
    FileFailed,       // the file could not be read after all
};

// The PCM format a player's stream plays in.
struct WaveFormat {
    int rate = 44100;
    int channels = 1;
    int bits = 16;  // 8 (unsigned) or 16 (signed)

    int frameBytes() const { return channels * bits / 8; }
    bool operator==(const WaveFormat&) const = default;
};

// The hold message's format: 44100 Hz, 16 bit, mono.
inline constexpr WaveFormat kHoldMessageFormat{44100, 1, 16};

// A device to play on or capture from: one the sound server lists, by the
// name the operator knows it by, or whatever the system's default is.
class DeviceChoice {
public:
    static DeviceChoice systemDefault() { return DeviceChoice(); }
    static DeviceChoice named(QString name) { return DeviceChoice(std::move(name)); }

    bool isSystemDefault() const { return systemDefault_; }
    // Empty for the system default.
    const QString& name() const { return name_; }
    bool operator==(const DeviceChoice&) const = default;

private:
    DeviceChoice() = default;
    explicit DeviceChoice(QString name) : systemDefault_(false), name_(std::move(name)) {}

    bool systemDefault_ = true;
    QString name_;
};

// Playback and capture on the sound server's devices: lists the capture
// devices, plays a file in a loop on a playback device, captures from a
// capture device. Every call comes from the UI thread and every event
// arrives on it. Any operation may throw WaveError.
class WaveControl {
public:
    virtual ~WaveControl() = default;

    // The capture devices, as named to the operator ("Microfone (Q-ZORBE)").
    virtual QStringList captureDevices() = 0;

    // Points the control at its devices, the capture device first; a name
    // the server does not list throws and leaves the devices after it as
    // they were. Takes effect on the next stream each one needs.
    virtual void open(const DeviceChoice& capture, const DeviceChoice& playback) = 0;
    virtual DeviceChoice captureDevice() const = 0;
    virtual DeviceChoice playbackDevice() const = 0;
    // The format of the playback stream; files in another format are
    // converted to it.
    virtual void setPlayFormat(const WaveFormat& format) = 0;
    virtual WaveFormat playFormat() const = 0;

    // Starts a WAV or MP3 file on the playback device and returns at once;
    // the file is read and decoded away from the caller's thread, and loops
    // by itself until stop(): when it ends, its next pass already plays.
    // Called from onPassEnded with the file that is playing, it lets the pass
    // under way go on; any other call starts the file from its beginning.
    // Throws when the file is plainly no sound file (missing, empty, not WAV
    // or MP3) or its device is not in the sound server; a file that fails
    // later is told through onLost, and so is a sound server that is away or
    // goes away as the file starts (the control brings the file on when the
    // server is back).
    virtual void play(const QString& path) = 0;
    // Ends the playback, its loop included.
    virtual void stop() = 0;
    // Levelling plays each file at the gain last given for its path, so that
    // every message sounds equally loud; a file without a gain, or any file
    // with levelling off, plays exactly as decoded. A change is heard at once,
    // eased in over a few milliseconds: no sample is added or dropped. A
    // control that cannot level plays every file as decoded.
    virtual void setLevelling(bool on) { (void)on; }
    virtual void setFileGain(const QString& path, std::optional<double> gainDb) {
        (void)path;
        (void)gainDb;
    }
    // True from play() until stop().
    virtual bool playing() const = 0;
    // How many times play() started a file from its beginning: tells the
    // handler of onPassEnded whether the message was started anew since it
    // last looked.
    virtual unsigned starts() const = 0;
    // Frames of sound the playback device has taken from this control since
    // it was made: it moves on while the line carries sound and stands still
    // when nothing reaches the device, whatever the reason.
    virtual std::uint64_t framesPlayed() const = 0;

    // Continuous capture from the capture device to the sample listeners,
    // handed over in transfers of bufferBytes.
    virtual void startCapture(int bufferBytes) = 0;
    virtual void stopCapture() = 0;

    virtual void addListener(SampleListener* l) = 0;
    virtual void removeListener(SampleListener* l) = 0;

    // The file has played to its end (its last sample is queued); its next
    // pass has already begun.
    std::function<void()> onPassEnded;
    // The message was playing and fell silent without a stop(); the control
    // brings it back by itself, from the file's beginning, as soon as it can
    // (not after FileFailed).
    std::function<void(PlaybackLoss)> onLost;
    // The message lost before is sounding again, whether brought back by the
    // control or started anew by play() after a stop().
    std::function<void()> onRestored;
    // The playback device ran out of sound to play while the message was on
    // air (a gap on the line).
    std::function<void()> onUnderrun;
    // The sound server's devices may have changed: one came, went or
    // changed, or the server itself came or went. A burst is told once.
    std::function<void()> onDevicesChanged;
};

}  // namespace quindra
