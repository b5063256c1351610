#pragma once

namespace quindra {

class MessageLog;
class Timer;
class WaveControl;
struct ScanFlags;

// The start-up search for the hold hardware among the capture devices.
class HoldHardwareScan {
public:
    HoldHardwareScan(WaveControl& lister, ScanFlags& flags, MessageLog& log, Timer& startTimer)
        : lister_(lister), flags_(flags), log_(log), startTimer_(startTimer) {}

    // Logs the search, sets hardwareFound (false until a match), and arms the
    // channel's start timer when the hardware is there. A failure to read the
    // device count ends the scan without a verdict.
    void scan();

private:
    WaveControl& lister_;
    ScanFlags& flags_;
    MessageLog& log_;
    Timer& startTimer_;
};

}  // namespace quindra
