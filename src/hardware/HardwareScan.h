#pragma once

namespace quindra {

class EventLoop;
class MessageLog;
class Timer;
class WaveControl;
struct RuntimeState;
struct ScanFlags;

// The start-up search for the hold hardware among the capture devices.
class HardwareScan {
public:
    // The scan writes HardwareFound and reads the rest of the state.
    HardwareScan(WaveControl& lister, ScanFlags& flags, const RuntimeState& state, MessageLog& log,
                 EventLoop& loop, Timer& tHid)
        : lister_(lister), flags_(flags), state_(state), log_(log), loop_(loop), tHid_(tHid) {}

    // Logs the search, sets HardwareFound (false until a match), and arms the channel's start
    // timer when the hardware is there. A failure to read the device count
    // (or, on older generations, a name) ends the scan without a verdict.
    void ScanForHoldHardware();

private:
    WaveControl& lister_;
    ScanFlags& flags_;
    const RuntimeState& state_;
    MessageLog& log_;
    EventLoop& loop_;
    Timer& tHid_;
};

}  // namespace quindra
