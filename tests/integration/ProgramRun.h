#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/types.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>

#include "TestAudio.h"
#include "VirtualHoldDevice.h"
#include "config/SqliteRegistry.h"
#include "config/Values.h"
#include "core/QtEventLoop.h"
#include "support/ProgramEnvironment.h"

namespace quindra::testing {

// The real program in a home of its own (app/ with Audio/, home/, config/,
// runtime/ and the settings store), on a private sound server with the
// virtual hold device, without a display: what its journal says, what it
// leaves in its folders and store, and what the switchboard hears.
class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(device.start());
        ASSERT_TRUE(MakeProgramHome(QDir(root.path())));
        played = std::make_unique<PlayedAudio>(device.playedFifo());
    }

    void TearDown() override {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }

    QString path(const char* name) const { return root.filePath(QString::fromUtf8(name)); }
    QString messages() const { return path("app/Audio"); }
    QString dropFolder() const { return path("home/Vizudu Telefônica"); }

    // A message of `seconds` of noise from `variant`, as a 16-bit WAV.
    static std::vector<std::int16_t> message(const QString& file, double seconds,
                                             std::uint32_t variant) {
        auto samples = noise(static_cast<std::size_t>(44100 * seconds), variant);
        writeSound(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, samples);
        return samples;
    }

    QProcessEnvironment environment() const { return ProgramEnvironment(QDir(root.path())); }

    // Starts the program; `wrapper` runs it (another user, for instance).
    void start(const QProcessEnvironment& env, const QStringList& wrapper = {}) {
        output.clear();
        program.setProcessEnvironment(env);
        if (wrapper.isEmpty())
            program.start(QStringLiteral(QUINDRA_PROGRAM), {});
        else
            program.start(wrapper.front(), wrapper.mid(1) << QStringLiteral(QUINDRA_PROGRAM));
        ASSERT_TRUE(program.waitForStarted(5000));
    }
    void start() { start(environment()); }

    // Everything the program wrote to standard output so far.
    QString out() {
        output += QString::fromUtf8(program.readAllStandardOutput());
        return output;
    }
    bool waitForLine(const QString& text, std::chrono::seconds limit) {
        return waitFor(
            loop, [&] { return out().contains(text); }, limit);
    }
    bool onAirLine() {
        return waitForLine(QStringLiteral("Stream inicializado com sucesso."),
                           std::chrono::seconds(20));
    }

    // The program's state letter in /proc ('T' once it stopped itself).
    char state() const {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(program.processId()));
        if (!stat.open(QIODevice::ReadOnly))
            return '?';
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        return close < 0 || close + 2 >= text.size() ? '?' : text[close + 2];
    }

    // `pattern` played at least `passes` times in a row, without a sample
    // between, after the first `from` samples the device played.
    bool heard(const std::vector<std::int16_t>& pattern, int passes, std::size_t from = 0) {
        const auto all = played->samples();
        auto at = all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size()));
        while ((at = std::search(at, all.end(), pattern.begin(), pattern.end())) != all.end()) {
            if (exactRepeats(all, static_cast<std::size_t>(at - all.begin()), pattern) >= passes)
                return true;
            at += static_cast<std::ptrdiff_t>(pattern.size());
        }
        return false;
    }

    // Every file of a folder, hidden ones too.
    static QStringList filesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // A value of the settings key as the program left it.
    QString stored(const char* name) {
        SqliteRegistry store(path("registry.db"));
        const auto v = store.value(Root::LocalMachine, kConfigKey, QString::fromLatin1(name));
        return v ? v->text : QStringLiteral("<missing>");
    }
    void storeText(const char* name, const QString& text) {
        SqliteRegistry store(path("registry.db"));
        ASSERT_TRUE(store.createKey(Root::LocalMachine, kConfigKey));
        ASSERT_TRUE(store.setValue(Root::LocalMachine, kConfigKey, QString::fromLatin1(name),
                                   RegValue::String(text)));
    }

    bool endsInOrder() {
        program.terminate();
        return program.waitForFinished(10000) && program.exitStatus() == QProcess::NormalExit &&
               program.exitCode() == 0;
    }

    QTemporaryDir root;
    VirtualHoldDevice device;
    std::unique_ptr<PlayedAudio> played;
    QProcess program;
    QString output;
    QtEventLoop loop;
};

}  // namespace quindra::testing
