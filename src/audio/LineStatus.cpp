#include "audio/LineStatus.h"

#include <utility>

namespace quindra {

LineStatus::LineStatus() {
    state_ = derive();
}

void LineStatus::onChange(Listener listener) {
    listeners_.push_back(std::move(listener));
}

void LineStatus::channelOpened() {
    open_ = true;
    // The opening found the hold hardware in the sound server.
    hardware_ = true;
    serverDown_ = false;
    lost_.reset();
    update();
}

void LineStatus::channelTakenDown() {
    open_ = false;
    lost_.reset();
    update();
}

void LineStatus::soundLost(OffAirReason why) {
    lost_ = why;
    update();
}

void LineStatus::soundBack() {
    lost_.reset();
    serverDown_ = false;
    failedFile_.clear();
    update();
}

void LineStatus::messageFailed(const QString& file) {
    failedFile_ = file;
    update();
}

void LineStatus::soundServer(bool answers) {
    serverDown_ = !answers;
    update();
}

void LineStatus::hardwarePresent(bool present) {
    hardware_ = present;
    update();
}

void LineStatus::messageChanged(const QString& file, std::optional<qint64> durationMs) {
    file_ = file;
    durationMs_ = durationMs;
    // Even under the same name, it is another file: the player tries it anew.
    failedFile_.clear();
    update();
}

void LineStatus::swapPause(bool paused) {
    swapping_ = paused;
    update();
}

void LineStatus::lineTaken() {
    taken_ = true;
    update();
}

void LineStatus::closing() {
    closing_ = true;
    update();
}

// The first cause that holds, from what the program did on purpose to what
// the operator can mend, then what the player is still mending itself.
LineState LineStatus::derive() const {
    LineState s;
    s.file = file_;
    s.durationMs = durationMs_;
    s.hardwarePresent = hardware_.value_or(false) && lost_ != OffAirReason::HardwareAbsent;
    if (closing_)
        s.reason = OffAirReason::Closing;
    else if (taken_)
        s.reason = OffAirReason::LineTaken;
    else if (swapping_)
        s.reason = OffAirReason::Swapping;
    else if (hardware_ == false || lost_ == OffAirReason::HardwareAbsent)
        s.reason = OffAirReason::HardwareAbsent;
    else if (serverDown_ || lost_ == OffAirReason::SoundServerDown)
        s.reason = OffAirReason::SoundServerDown;
    else if (file_.isEmpty())
        s.reason = OffAirReason::NoMessage;
    else if (file_ == failedFile_)
        s.reason = OffAirReason::MessageUnplayable;
    else if (lost_)
        s.reason = *lost_;
    else if (!open_)
        s.reason = OffAirReason::Opening;
    else
        s.reason = OffAirReason::None;
    s.onAir = s.reason == OffAirReason::None;
    // The start delay is the program bringing the line up, not a fault.
    s.onPurpose = s.reason == OffAirReason::Swapping || s.reason == OffAirReason::Closing ||
                  s.reason == OffAirReason::Opening;
    return s;
}

void LineStatus::update() {
    LineState next = derive();
    if (next == state_)
        return;
    state_ = std::move(next);
    // A copy: a listener that reports back must not change what the others see.
    const LineState shown = state_;
    for (const Listener& listener : listeners_)
        listener(shown);
}

}  // namespace quindra
