#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "core/EventLoop.h"

namespace quindra {

class MessageLog;
class WaveControl;
struct ChannelFlags;
struct RuntimeState;

// The hold channel: opens it on the hold hardware's devices with the
// monitoring views, and keeps the message on air in an endless loop.
class HoldChannel {
public:
    static constexpr int kStartDelayMs = 6000;
    static constexpr int kPauseAfterOpeningMs = 300;
    static constexpr int kRecordBufferLength = 2048;
    static constexpr int kRecorderMode = 6;
    static constexpr int kRecordFlags = 0;

    struct Controls {
        WaveControl& PlayC1;        // plays the message
        WaveControl& wCanal1;       // captures the hardware's input for the views
        WaveControl& WaveControl1;  // lists the devices
    };

    // The channel writes ChannelActive and reads the rest of the state.
    // linkViews points the level, spectrum and waveform views, in that order,
    // at a control's audio.
    HoldChannel(Controls controls, ChannelFlags& flags, const RuntimeState& state, MessageLog& log,
                EventLoop& loop, std::function<void(WaveControl*)> linkViews);

    // Finds the hold hardware among the capture devices and opens the channel
    // on each match, the last one staying.
    void AcessaCanal();
    // Opens one channel: monitoring on `capture`, the player on the same
    // devices with the message format, capture started.
    void InitAudio2(WaveControl& control, const QString& capture, const QString& playback,
                    const QString& channel);
    // The start timer: opens the channel, marks it on air and starts the
    // message.
    void tHidTimer();
    // The message ended: start it again while on air and not suspended.
    void PlayC1PlayDone();
    // The views follow the message being played instead of the input.
    void HeaderPanel1Click();
    // The hold hardware was pulled out: the channel is off air until the
    // start timer opens it again.
    void hardwareUnplugged();

    Timer& tHid() { return *tHid_; }

private:
    void playCurrent();

    Controls c_;
    ChannelFlags& flags_;
    const RuntimeState& state_;
    MessageLog& log_;
    EventLoop& loop_;
    std::function<void(WaveControl*)> linkViews_;
    std::unique_ptr<Timer> tHid_;
};

}  // namespace quindra
