#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sndfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "TestAudio.h"
#include "Testbed.h"
#include "VirtualHoldDevice.h"
#include "config/SqliteRegistry.h"
#include "config/Values.h"
#include "core/QtEventLoop.h"
#include "support/HardwareLines.h"
#include "support/ProgramEnvironment.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

const QStringList kBack = kHardwareBackLines + QStringList{kOnAirLine};

QString pactl(const QStringList& args, bool* ok = nullptr) {
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    const bool done = p.waitForFinished(10000);
    if (ok)
        *ok = done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A loaded module of the sound server: its index, name and argument.
struct Module {
    QString index;
    QString name;
    QString argument;
};

std::optional<Module> moduleWith(const QString& argumentPart) {
    for (const QString& line :
         pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("modules")})
             .split(QLatin1Char('\n'))) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() >= 3 && f[2].contains(argumentPart))
            return Module{f[0], f[1], f[2]};
    }
    return std::nullopt;
}

// What a process holds: open descriptors and resident memory in kB.
struct Footprint {
    int fds = 0;
    long rssKb = 0;
};

Footprint footprint(qint64 pid) {
    Footprint f;
    f.fds = static_cast<int>(QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                                 .entryList(QDir::System | QDir::NoDotAndDotDot)
                                 .size());
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                f.rssKb = line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return f;
}

// The real program, headless, on a private sound server with the virtual
// hold device, and under umockdev's test bed with the hold hardware's USB
// and HID devices and a keyboard. Pulling the hardware out removes its
// devices from both; plugging it back brings them again. Everything played
// on the server's default sink is read back too: the message must never go
// there.
class Unplug : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        bed.plugKeyboard(QStringLiteral("1-2"), 1);
        hold = bed.plugHoldHardware(QStringLiteral("1-1"), 0);
        ASSERT_TRUE(device.start());
        ASSERT_TRUE(MakeProgramHome(QDir(home.path())));
        message = noise(44100 * 4 / 10, 7);
        writeSound(home.filePath(QStringLiteral("app/Audio/espera.wav")),
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, message);

        bool ok = false;
        const QString fifo = home.filePath(QStringLiteral("default.fifo"));
        pactl({QStringLiteral("load-module"), QStringLiteral("module-pipe-sink"),
               QStringLiteral("sink_name=default_probe"), QStringLiteral("file=") + fifo,
               QStringLiteral("format=s16le"), QStringLiteral("rate=44100"),
               QStringLiteral("channels=1")},
              &ok);
        ASSERT_TRUE(ok);
        pactl({QStringLiteral("set-default-sink"), QStringLiteral("default_probe")}, &ok);
        ASSERT_TRUE(ok);
        defaultSink = std::make_unique<PlayedAudio>(fifo);

        // The hold device's sink and source, as loaded by its start file, to
        // load them again the same way.
        for (const char* name : {"sink_name=hold_out", "source_name=hold_in"}) {
            const auto m = moduleWith(QString::fromLatin1(name));
            ASSERT_TRUE(m) << name;
            holdModules.push_back(*m);
        }
    }

    void TearDown() override {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }

    void startProgram() {
        QProcessEnvironment env = ProgramEnvironment(QDir(home.path()));
        env.insert(QStringLiteral("LD_PRELOAD"), QString::fromLatin1(UmockdevPreload()));
        env.insert(QStringLiteral("UMOCKDEV_DIR"), bed.root());
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QUINDRA_PROGRAM), {});
        ASSERT_TRUE(program.waitForStarted(5000));
    }

    // The status lines so far, without date and time.
    QStringList lines() {
        output += QString::fromUtf8(program.readAllStandardOutput());
        QStringList out;
        for (const QString& l : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            out << l.section(QStringLiteral(" - "), 2);
        return out;
    }
    // Whether `expected` were written in this order (other lines between
    // them allowed) since line `from`.
    bool wrote(const QStringList& expected, qsizetype from) {
        const QStringList all = lines();
        qsizetype next = 0;
        for (qsizetype i = from; i < all.size() && next < expected.size(); ++i) {
            if (all[i] == expected[next])
                ++next;
        }
        return next == expected.size();
    }
    bool onAir(const PlayedAudio& played, int passes) {
        const auto samples = played.samples();
        const auto start = findStart(samples, message);
        return start && exactRepeats(samples, *start, message) >= passes;
    }
    bool nothingPlays() {
        return pactl(
                   {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")})
            .trimmed()
            .isEmpty();
    }

    void unplug() {
        played.reset();
        for (const Module& m : holdModules) {
            bool ok = false;
            pactl({QStringLiteral("unload-module"), m.index}, &ok);
            ASSERT_TRUE(ok) << m.argument.toStdString();
        }
        bed.pull(hold);
    }
    void replug() {
        for (Module& m : holdModules) {
            bool ok = false;
            m.index = pactl({QStringLiteral("load-module"), m.name, m.argument}, &ok).trimmed();
            ASSERT_TRUE(ok) << m.argument.toStdString();
        }
        played = std::make_unique<PlayedAudio>(device.playedFifo());
        hold = bed.plugHoldHardware(QStringLiteral("1-1"), 0);
    }

    QTemporaryDir home;
    QtEventLoop loop;
    Testbed bed;
    MockUsbDevice hold;
    VirtualHoldDevice device;
    std::vector<Module> holdModules;
    std::unique_ptr<PlayedAudio> played;
    std::unique_ptr<PlayedAudio> defaultSink;
    QProcess program;
    QString output;
    std::vector<std::int16_t> message;
};

// A loopback port nobody listens on now.
quint16 freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

// Debian's node_exporter on loopback with only its textfile collector, as an
// IT team runs it on each switchboard PC.
class NodeExporter {
public:
    bool start(const QString& textfileDir) {
        port_ = freePort();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(
            QStringLiteral("prometheus-node-exporter"),
            {QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port_),
             QStringLiteral("--collector.disable-defaults"), QStringLiteral("--collector.textfile"),
             QStringLiteral("--collector.textfile.directory=") + textfileDir});
        return port_ != 0 && process_.waitForStarted(5000);
    }
    ~NodeExporter() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    // The quindra_ samples of one scrape, and whether the collector read the
    // file without an error.
    QStringList scrape() {
        QProcess curl;
        curl.start(QStringLiteral("curl"),
                   {QStringLiteral("-s"), QStringLiteral("--max-time"), QStringLiteral("5"),
                    QStringLiteral("http://127.0.0.1:%1/metrics").arg(port_)});
        curl.waitForFinished(10000);
        QStringList out;
        for (const QString& line :
             QString::fromUtf8(curl.readAllStandardOutput()).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("quindra_")) ||
                line.startsWith(QLatin1String("node_textfile_scrape_error")))
                out << line;
        }
        return out;
    }
    QString log() { return QString::fromUtf8(process_.readAll()); }

private:
    QProcess process_;
    quint16 port_ = 0;
};

// The monitoring's view of one switchboard: node_exporter shows the program's
// figures, and they follow a swap and an unplug.
TEST_F(Unplug, NodeExporterShowsTheLineAndItFollowsASwapAndAnUnplug) {
    const QString textfiles = home.filePath(QStringLiteral("textfile"));
    ASSERT_TRUE(QDir().mkpath(textfiles));
    {
        SqliteRegistry store(home.filePath(QStringLiteral("registry.db")));
        ASSERT_TRUE(store.createKey(Root::LocalMachine, kConfigKey));
        ASSERT_TRUE(store.setValue(Root::LocalMachine, kConfigKey, values::PathMetricas.written(),
                                   RegValue::String(textfiles + QStringLiteral("/quindra.prom"))));
    }
    NodeExporter exporter;
    ASSERT_TRUE(exporter.start(textfiles));
    played = std::make_unique<PlayedAudio>(device.playedFifo());
    startProgram();

    QStringList seen;
    const auto shows = [&](const QStringList& samples) {
        return waitFor(
            loop,
            [&] {
                seen = exporter.scrape();
                for (const QString& s : samples)
                    if (!seen.contains(s))
                        return false;
                return true;
            },
            std::chrono::seconds(60));
    };
    ASSERT_TRUE(
        shows({QStringLiteral("node_textfile_scrape_error 0"), QStringLiteral("quindra_on_air 1"),
               QStringLiteral("quindra_hardware_present 1"),
               QStringLiteral("quindra_message_info{file=\"espera.wav\"} 1"),
               QStringLiteral("quindra_swaps_total 0")}))
        << seen.join('\n').toStdString() << "\n"
        << lines().join('\n').toStdString() << exporter.log().toStdString();

    writeSound(home.filePath(QStringLiteral("home/Vizudu Telefônica/natal.wav")),
               SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, noise(44100 / 2, 11));
    ASSERT_TRUE(shows({QStringLiteral("quindra_on_air 1"),
                       QStringLiteral("quindra_message_info{file=\"natal.wav\"} 1"),
                       QStringLiteral("quindra_swaps_total 1")}))
        << seen.join('\n').toStdString() << "\n"
        << lines().join('\n').toStdString();
    EXPECT_FALSE(seen.filter(QStringLiteral("quindra_last_swap_timestamp_seconds")).isEmpty());

    unplug();
    ASSERT_TRUE(
        shows({QStringLiteral("quindra_on_air 0"), QStringLiteral("quindra_hardware_present 0"),
               QStringLiteral("quindra_off_air_events_total 1")}))
        << seen.join('\n').toStdString() << "\n"
        << lines().join('\n').toStdString();
}

// QUINDRA_UNPLUG_CYCLES sets how many times (one unless set); the program's
// descriptors and resident memory after the first and the last return are
// printed.
TEST_F(Unplug, PulledOutTheLineFallsSilentAndPluggedBackTheMessageIsOnAirAgain) {
    const int cycles = std::max(1, qEnvironmentVariableIntValue("QUINDRA_UNPLUG_CYCLES"));
    played = std::make_unique<PlayedAudio>(device.playedFifo());
    startProgram();
    ASSERT_TRUE(waitFor(
        loop, [&] { return onAir(*played, 3); }, std::chrono::seconds(25)))
        << lines().join('\n').toStdString();

    std::optional<Footprint> first;
    Footprint last;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE(cycle);
        const qsizetype before = lines().size();
        unplug();
        ASSERT_TRUE(waitFor(
            loop, [&] { return wrote({kHardwareGoneLine}, before); }, std::chrono::seconds(15)))
            << lines().join('\n').toStdString();
        // Nothing plays anywhere while the hardware is out.
        ASSERT_TRUE(waitFor(
            loop, [&] { return nothingPlays(); }, std::chrono::seconds(10)));
        waitFor(
            loop, [] { return false; }, std::chrono::milliseconds(1000));
        ASSERT_TRUE(nothingPlays());

        QElapsedTimer sinceReplug;
        sinceReplug.start();
        replug();
        ASSERT_TRUE(waitFor(
            loop, [&] { return onAir(*played, 1); }, std::chrono::seconds(25)))
            << lines().join('\n').toStdString();
        const qint64 backAfterMs = sinceReplug.elapsed();
        ASSERT_TRUE(waitFor(
            loop, [&] { return onAir(*played, 3); }, std::chrono::seconds(5)));
        EXPECT_TRUE(wrote(QStringList{kHardwareGoneLine} + kBack, before))
            << lines().mid(before).join('\n').toStdString();
        if (cycle == 0)
            std::printf("message back on air %lld ms after the replug\n",
                        static_cast<long long>(backAfterMs));

        last = footprint(program.processId());
        if (!first)
            first = last;
    }
    // Never a sound on the PC's own output.
    EXPECT_EQ(nonZero(defaultSink->samples()), 0u);
    std::printf("after %d cycle(s): descriptors %d -> %d, resident memory %ld kB -> %ld kB\n",
                cycles, first->fds, last.fds, first->rssKb, last.rssKb);

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 0);
}

// Pulled out and plugged back four times, 0.2 s apart, faster than the
// channel reopens and while the program is still busy with the first unplug:
// the log says each going and each return, in turn, and the message ends up
// on air. (Four cycles: the test bed's uevent queue holds no more while the
// program's thread is held by an unplug's pauses.)
TEST_F(Unplug, FasterThanTheChannelReopensEachReturnIsPairedWithAnUnplugLine) {
    constexpr int kCycles = 4;
    played = std::make_unique<PlayedAudio>(device.playedFifo());
    startProgram();
    ASSERT_TRUE(waitFor(
        loop, [&] { return onAir(*played, 3); }, std::chrono::seconds(25)));
    const qsizetype before = lines().size();
    const auto pause = [this] {
        waitFor(
            loop, [] { return false; }, std::chrono::milliseconds(200));
    };
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        unplug();
        pause();
        replug();
        pause();
    }

    // The going and coming lines, in order: "-" and "+".
    const auto told = [&] {
        QString seq;
        for (const QString& l : lines().mid(before)) {
            if (l == kHardwareGoneLine)
                seq += QLatin1Char('-');
            else if (l == kHardwareBackLines.first())
                seq += QLatin1Char('+');
        }
        return seq;
    };
    ASSERT_TRUE(waitFor(
        loop, [&] { return told().size() >= 2 * kCycles; }, std::chrono::seconds(60)))
        << lines().mid(before).join('\n').toStdString();
    ASSERT_TRUE(waitFor(
        loop, [&] { return wrote({kOnAirLine}, before) && onAir(*played, 2); },
        std::chrono::seconds(25)))
        << lines().mid(before).join('\n').toStdString();
    EXPECT_EQ(told(), QStringLiteral("-+").repeated(kCycles))
        << lines().mid(before).join('\n').toStdString();
}

}  // namespace
