#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace quindra {

// Why the hold line carries no message, as the operator is told.
enum class OffAirReason {
    None,               // on air
    HardwareAbsent,     // unplugged, or not found in the sound server
    NoMessage,          // nothing in the message folder
    SoundServerDown,    // the sound server does not answer
    Swapping,           // a swap's pause: the old message stopped, the new one not yet on
    MessageUnplayable,  // the player could not read the message after all
    SoundStopped,       // the server ended or suspended the stream; the player retries
    LineTaken,          // another user's program holds the hold hardware
    Opening,            // the channel is being opened (the start delay)
    Closing,            // the program ends
};

// The line as one place decides it: on air or why not, the message it
// carries and whether the hold hardware is there.
struct LineState {
    bool onAir = false;
    OffAirReason reason = OffAirReason::Opening;
    // Off air by the program's or the operator's own doing (a swap's pause,
    // the start delay, the end of the program), not by a fault.
    bool onPurpose = false;
    QString file;                      // full path of the message on air, or empty
    std::optional<qint64> durationMs;  // its length, when it could be read
    bool hardwarePresent = false;

    bool operator==(const LineState&) const = default;
};

// Gathers what the hold channel, the message rotation and the hardware
// presence report about the line and derives one LineState from it, so the
// band, the tray, the notices and any other listener agree. Every report
// comes on the UI thread; listeners run inside it, so they only record or
// post what they need and never wait.
class LineStatus {
public:
    using Listener = std::function<void(const LineState&)>;

    LineStatus();

    const LineState& state() const { return state_; }
    // Called after each change of the state, in the order added.
    void onChange(Listener listener);

    // The hold channel.
    void channelOpened();              // on air on the hold hardware's devices
    void channelTakenDown();           // an unplug took it down on purpose
    void soundLost(OffAirReason why);  // confirmed after the channel's grace
    void soundBack();
    void messageFailed(const QString& file);  // the player could not read it
    void soundServer(bool answers);

    // The hardware presence.
    void hardwarePresent(bool present);

    // The message rotation.
    void messageChanged(const QString& file, std::optional<qint64> durationMs);
    void swapPause(bool paused);

    // The program itself.
    void lineTaken();
    void closing();

private:
    void update();
    LineState derive() const;

    LineState state_;
    std::vector<Listener> listeners_;

    bool open_ = false;
    std::optional<bool> hardware_;  // unknown until a scan, an arrival or an opening says
    bool serverDown_ = false;
    std::optional<OffAirReason> lost_;
    QString failedFile_;
    bool swapping_ = false;
    bool taken_ = false;
    bool closing_ = false;
    QString file_;
    std::optional<qint64> durationMs_;
};

}  // namespace quindra
