#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/EventLoop.h"
#include "core/ReportOnce.h"
#include "ports/WaveControl.h"

namespace quindra {

class LineStatus;
class MessageLog;
struct ChannelFlags;
struct RuntimeState;

// The hold channel: opens it on the hold hardware's devices with the
// monitoring views, and keeps the message on air in an endless loop.
//
// The player loops the message by itself; each end of a pass still comes
// here (passEnded), which lets it go on or stops it. The channel also
// keeps an account of the line: every silence that nobody asked for gets a
// status line, and so does the message's return.
//
// Why the channel may be off air, and who brings it back:
// - never opened (start-up, or the opening found no hold hardware in the
//   sound server, which may not even be running yet): the channel brings
//   itself up as soon as the hardware's devices show up in the sound server,
//   through the start timer;
// - unplugged (hardwareUnplugged): taken down on purpose; only the
//   hardware's next USB arrival, which arms the start timer, brings it back;
// - a swap's pause or a shutdown: the player was stopped on purpose
//   (replaySuspended is set meanwhile) and nothing here restarts it.
// A message that loses its sound while on air (server restart, device
// removed and created again, stream ended, device suspended) is brought back
// by the player itself; the channel writes the lines.
//
// Last, the channel watches that the line carries sound: when the message
// should be on air, its device is in the sound server, and yet the player
// has handed the device nothing for kWatchMs * kStalledLooks, it writes one
// line and starts the message again.
class HoldChannel {
public:
    static constexpr int kStartDelayMs = 6000;
    static constexpr int kPauseAfterOpeningMs = 300;
    // An eighth of a second of the capture format per transfer to the views.
    static constexpr int kCaptureBufferBytes = 2048;
    // A loss of sound is written down once it has lasted this long without
    // the channel being taken down on purpose (an unplug writes its own line).
    static constexpr int kLossGraceMs = 2000;
    // Underruns are counted over windows of this length; a window with at
    // least kUnderrunBurst of them gets a line.
    static constexpr int kUnderrunWindowMs = 10000;
    static constexpr int kUnderrunBurst = 3;
    // The line's watch looks this often; it acts when the sound has stood
    // still at kStalledLooks looks in a row, well after the player's own
    // recovery (a retry every 2 s) had its chance.
    static constexpr int kWatchMs = 3000;
    static constexpr int kStalledLooks = 2;

    struct Controls {
        WaveControl& player;   // plays the message
        WaveControl& monitor;  // captures the hardware's input for the views
        WaveControl& lister;   // lists the devices
    };

    // The channel writes active and reads the rest of the state.
    // linkViews points the level, spectrum and waveform views, in that order,
    // at a control's audio.
    HoldChannel(Controls controls, ChannelFlags& flags, const RuntimeState& state, MessageLog& log,
                EventLoop& loop, std::function<void(WaveControl*)> linkViews);

    // Finds the hold hardware among the capture devices and opens the channel
    // on each match, the last one staying. True when one matched.
    bool openOnHoldHardware();
    // Opens the channel on one device: monitoring on `capture`, the player
    // on the same devices with the message format, capture started.
    void openOn(const QString& capture, const QString& playback);
    // The start timer's handler: opens the channel, marks it on air and
    // starts the message. Without the hold hardware in the sound server
    // nothing goes on air (the message never goes to another device) and the
    // channel waits for the hardware to show up.
    void start();
    // A pass of the message ended (the next one already plays): it goes on
    // while on air and not suspended, and a message started during a swap's
    // suspension goes on too; otherwise it is stopped.
    void passEnded();
    // The views follow the message being played instead of the input.
    void showPlayerOnViews();
    // The hold hardware was pulled out: the channel is off air until its
    // next USB arrival arms the start timer. The caller stops capture and
    // playback.
    void hardwareUnplugged();
    // The program ends: the watch no longer brings the message back.
    void stopWatching();
    // Whoever keeps the line's state hears from now on what the channel
    // learns about the line.
    void reportTo(LineStatus& line) { line_ = &line; }

    Timer& startTimer() { return *startTimer_; }
    // Underruns since start-up.
    int underruns() const { return underruns_; }

private:
    void playCurrent();
    void devicesChanged();
    bool holdHardwareListed(bool reportFailure = true);
    bool shouldSound() const;
    void watchLine();
    void playbackLost(PlaybackLoss why);
    void lossConfirmed();
    void playbackRestored();
    void backOnAir();
    void underrun();
    void underrunWindowEnded();

    Controls c_;
    ChannelFlags& flags_;
    const RuntimeState& state_;
    MessageLog& log_;
    EventLoop& loop_;
    std::function<void(WaveControl*)> linkViews_;
    LineStatus* line_ = nullptr;
    ReportOnce lookReport_;  // about looking for the hardware
    std::unique_ptr<Timer> startTimer_;
    std::unique_ptr<Timer> lossGrace_;
    std::unique_ptr<Timer> underrunWindow_;
    std::unique_ptr<Timer> watch_;

    bool unplugged_ = false;
    bool wasOnAir_ = false;
    unsigned allowedStarts_ = 0;  // the player's starts when the replay last ran unsuspended
    std::optional<PlaybackLoss> pendingLoss_;
    bool silenceWritten_ = false;  // a line said the line is silent; none said it is back
    std::uint64_t lastFrames_ = 0;
    int stalledLooks_ = 0;
    bool restarting_ = false;  // the watch is starting the message
    bool watchActed_ = false;  // the watch restarted the message; it has not sounded since
    QString failedFile_;       // the player found this file unplayable
    int underruns_ = 0;
    int windowUnderruns_ = 0;
};

}  // namespace quindra
