#pragma once

#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/QtEventLoop.h"

#include "support/WaitFor.h"

namespace quindra::testing {

// Which sound server plays the virtual hold device: PulseAudio, or PipeWire
// with its pulse server (which converts to its own graph rate and back).
enum class SoundServer { PulseAudio, PipeWire };

// A private sound server with the virtual hold device, started by
// scripts/virtual-hold-device in a temporary folder and stopped on every way
// out. The process talks to it through PULSE_SERVER.
class VirtualHoldDevice {
public:
    explicit VirtualHoldDevice(SoundServer server = SoundServer::PulseAudio);
    ~VirtualHoldDevice();  // stops the server, if it runs
    VirtualHoldDevice(const VirtualHoldDevice&) = delete;
    VirtualHoldDevice& operator=(const VirtualHoldDevice&) = delete;

    // Starts the server (again) and points PULSE_SERVER at it; false when it
    // did not come up in time.
    bool start();
    void stop();
    // Ends the server with SIGKILL, as a crash would. Like start(), it may be
    // called from a thread of the test's own.
    void crash();
    // The server suspends the hold device's playback device, as any client
    // may ask it to.
    bool suspendHoldOutput();
    // Stops the server's process (SIGSTOP) or lets it go on (SIGCONT): a
    // server that hangs.
    void freeze(bool frozen);
    // Takes the hold device's playback and capture devices (or the playback
    // device alone) out of the running server, and puts them back.
    bool unplug(bool sinkOnly = false);
    bool replug(bool sinkOnly = false);
    SoundServer server() const { return server_; }

    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QString playedFifo() const { return path("played.fifo"); }
    QString inputFifo() const { return path("input.fifo"); }

private:
    bool run(const QStringList& args, QString* out = nullptr);
    void signalServer(int signal);
    SoundServer server_;
    QTemporaryDir dir_;
};

// Reads everything the hold device plays (s16 mono 44100 Hz) on a thread of
// its own, from the moment it is made until it is destroyed or the server
// goes away.
class PlayedAudio {
public:
    explicit PlayedAudio(const QString& fifo);
    ~PlayedAudio();
    PlayedAudio(const PlayedAudio&) = delete;
    PlayedAudio& operator=(const PlayedAudio&) = delete;

    std::vector<std::int16_t> samples() const;
    std::size_t size() const;

private:
    void readLoop(int fd);

    mutable std::mutex mutex_;
    std::vector<std::int16_t> samples_;
    std::atomic<bool> stop_ = false;
    std::thread reader_;
};

// Writes s16 samples into the hold device's input FIFO without blocking.
void writeInput(const QString& fifo, const std::vector<std::int16_t>& samples);

}  // namespace quindra::testing
