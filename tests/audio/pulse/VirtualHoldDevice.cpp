#include "VirtualHoldDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cstdlib>
#include <cstring>

namespace quindra::testing {

namespace {

const QString kScript = QStringLiteral(QUINDRA_VIRTUAL_HOLD_DEVICE);
// PipeWire's graph may take many seconds to come up on a loaded machine.
constexpr int kScriptLimitMs = 40000;

}  // namespace

// QTemporaryDir makes the folder with mode 0700, as the server wants it.
VirtualHoldDevice::VirtualHoldDevice(SoundServer server)
    : server_(server), dir_(QStringLiteral("/tmp/quindra-pulse-XXXXXX")) {}

VirtualHoldDevice::~VirtualHoldDevice() {
    stop();
}

bool VirtualHoldDevice::run(const QStringList& args, QString* out) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("bash"), QStringList{kScript} + args);
    if (!p.waitForFinished(kScriptLimitMs)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool VirtualHoldDevice::start() {
    QString out;
    if (!dir_.isValid() || !run({QStringLiteral("start"), dir_.path(),
                                 QStringLiteral("--no-helpers"), QStringLiteral("--server"),
                                 server_ == SoundServer::PipeWire ? QStringLiteral("pipewire")
                                                                  : QStringLiteral("pulseaudio")},
                                &out)) {
        return false;
    }
    const auto m = QRegularExpression(QStringLiteral("export PULSE_SERVER=(\\S+)")).match(out);
    if (!m.hasMatch())
        return false;
    // A restart names the same socket: leaving the environment alone lets a
    // test restart the server from a thread of its own while libpulse reads it.
    const QByteArray address = m.captured(1).toLocal8Bit();
    const char* now = std::getenv("PULSE_SERVER");
    if (!now || address != now)
        setenv("PULSE_SERVER", address.constData(), 1);
    return true;
}

void VirtualHoldDevice::stop() {
    run({QStringLiteral("stop"), dir_.path()});
}

void VirtualHoldDevice::signalServer(int signal) {
    QFile pidFile(path("server.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return;
    const pid_t pid = pidFile.readAll().trimmed().toInt();
    if (pid > 0)
        ::kill(pid, signal);
}

void VirtualHoldDevice::freeze(bool frozen) {
    signalServer(frozen ? SIGSTOP : SIGCONT);
}

bool VirtualHoldDevice::suspendHoldOutput() {
    QProcess p;
    p.start(QStringLiteral("pactl"),
            {QStringLiteral("suspend-sink"), QStringLiteral("hold_out"), QStringLiteral("1")});
    return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool VirtualHoldDevice::unplug(bool sinkOnly) {
    QStringList args{QStringLiteral("unplug"), dir_.path()};
    if (sinkOnly)
        args << QStringLiteral("--sink-only");
    return run(args);
}

bool VirtualHoldDevice::replug(bool sinkOnly) {
    QStringList args{QStringLiteral("replug"), dir_.path()};
    if (sinkOnly)
        args << QStringLiteral("--sink-only");
    return run(args);
}

void VirtualHoldDevice::crash() {
    // The server the clients talk to dies at once; the script then ends the
    // rest (on PipeWire, the graph and its session manager).
    signalServer(SIGKILL);
    run({QStringLiteral("stop"), dir_.path(), QStringLiteral("--kill")});
}

PlayedAudio::PlayedAudio(const QString& fifo) {
    // The sink keeps its FIFO open for writing, so this open does not wait.
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    if (fd >= 0)
        reader_ = std::thread([this, fd] { readLoop(fd); });
}

PlayedAudio::~PlayedAudio() {
    stop_ = true;
    if (reader_.joinable())
        reader_.join();
}

void PlayedAudio::readLoop(int fd) {
    char buf[16384];
    std::size_t have = 0;  // bytes in buf, an odd one left from the last read
    while (!stop_) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t n = ::read(fd, buf + have, sizeof buf - have);
        if (n == 0)
            break;  // the server is gone
        if (n < 0)
            continue;
        have += static_cast<std::size_t>(n);
        const std::size_t count = have / 2;
        {
            std::lock_guard lock(mutex_);
            const auto at = samples_.size();
            samples_.resize(at + count);
            std::memcpy(samples_.data() + at, buf, count * 2);
        }
        if (have % 2)
            buf[0] = buf[have - 1];
        have %= 2;
    }
    ::close(fd);
}

std::vector<std::int16_t> PlayedAudio::samples() const {
    std::lock_guard lock(mutex_);
    return samples_;
}

std::size_t PlayedAudio::size() const {
    std::lock_guard lock(mutex_);
    return samples_.size();
}

void writeInput(const QString& fifo, const std::vector<std::int16_t>& samples) {
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (fd < 0)
        return;
    const auto bytes = samples.size() * sizeof(std::int16_t);
    [[maybe_unused]] const ssize_t n = ::write(fd, samples.data(), bytes);
    ::close(fd);
}

}  // namespace quindra::testing
