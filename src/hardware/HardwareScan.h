#pragma once

namespace quindra {

class EventLoop;
class MessageLog;
class Timer;
class WaveControl;
struct RuntimeState;

// The start-up search for the hold hardware among the capture devices.
class HardwareScan {
public:
    static constexpr int kPauseBetweenDevicesMs = 500;

    HardwareScan(WaveControl& lister, RuntimeState& state, MessageLog& log, EventLoop& loop,
                 Timer& tHid)
        : lister_(lister), state_(state), log_(log), loop_(loop), tHid_(tHid) {}

    // Logs the search, sets HardwareFound, and arms the channel's start
    // timer when the hardware is there. A failure to read the device count
    // (or, on older generations, a name) ends the scan without a verdict.
    void ScanForHoldHardware();

private:
    WaveControl& lister_;
    RuntimeState& state_;
    MessageLog& log_;
    EventLoop& loop_;
    Timer& tHid_;
};

}  // namespace quindra
