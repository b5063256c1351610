#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <memory>

#include "app/Shell.h"
#include "support/ShellRig.h"
#include "window/LineNotices.h"
#include "window/LineTexts.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

class RecordingSender final : public NoticeSender {
public:
    void send(const DesktopNotice& notice) override { sent.push_back(notice); }
    std::vector<DesktopNotice> sent;
};

// The line's state through the whole program on fakes: what the window is
// shown, and what the desktop is told, as the program runs.
class ShellLine : public ::testing::Test, protected ShellRig {
protected:
    void putMessage(const QString& name) {
        QDir().mkpath(paths.messageFolder());
        QFile f(paths.messageFolder() + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    void drop(const QString& name) {
        QDir().mkpath(paths.defaultDropFolder);
        QFile f(paths.defaultDropFolder + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    Shell& start(const QString& lineTaken = {}) {
        ShellPorts p = ports();
        p.messageLength = [](const QString& file) -> std::optional<qint64> {
            return file.endsWith(QStringLiteral("promo.wav")) ? 12000 : 83000;
        };
        shell = std::make_unique<Shell>(std::move(p), window);
        window.shell = shell.get();
        shell->line().onChange([this](const LineState& l) { notices.lineChanged(l); });
        shell->start(lineTaken);
        return *shell;
    }
    const LineState& shown() const { return window.lineStates.back(); }

    FakeWindow window;
    RecordingSender sender;
    LineNotices notices{sender};
    std::unique_ptr<Shell> shell;
};

TEST_F(ShellLine, AFirstStartWithoutAMessageSaysSoOnTheBand) {
    lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)")};
    start();
    loop.advance(6000);
    EXPECT_TRUE(shell->state().channel.active);
    EXPECT_EQ(shown().reason, OffAirReason::NoMessage);
    EXPECT_TRUE(shown().hardwarePresent);
    EXPECT_EQ(LineText(shown()), QStringLiteral("Fora do ar · sem mensagem na pasta"));
}

TEST_F(ShellLine, OnAirUnpluggedBackSwappedAndClosed) {
    putMessage(QStringLiteral("espera.wav"));
    lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)")};
    devices.hid = {HoldHardwareHid()};
    start();
    EXPECT_EQ(shown().reason, OffAirReason::Opening);
    loop.advance(6000);
    ASSERT_TRUE(shown().onAir);
    EXPECT_EQ(shown().file, paths.messageFolder() + QStringLiteral("/espera.wav"));
    EXPECT_EQ(shown().durationMs, 83000);
    EXPECT_TRUE(sender.sent.empty()) << "going on air at start is no news";

    devices.unplugHoldHardware();
    loop.processPendingMessages();
    EXPECT_EQ(shown().reason, OffAirReason::HardwareAbsent);
    EXPECT_FALSE(shown().onPurpose);
    EXPECT_FALSE(shown().hardwarePresent);
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0].summary, QStringLiteral("Mensagem de espera fora do ar"));
    EXPECT_EQ(sender.sent[0].body, QStringLiteral("Hardware desconectado."));

    devices.replugHoldHardware();
    loop.processPendingMessages();
    EXPECT_EQ(shown().reason, OffAirReason::Opening);
    loop.advance(6000);
    ASSERT_TRUE(shown().onAir);
    ASSERT_EQ(sender.sent.size(), 2u);
    EXPECT_EQ(sender.sent[1].summary, QStringLiteral("Mensagem de espera de volta ao ar"));
    EXPECT_EQ(sender.sent[1].body, QStringLiteral("No ar · espera.wav · 1:23"));

    // A swap's pause is on purpose: the band says it, the desktop is not told.
    const std::size_t before = window.lineStates.size();
    drop(QStringLiteral("promo.wav"));
    loop.advance(60000);
    ASSERT_TRUE(shown().onAir);
    EXPECT_EQ(shown().file, paths.messageFolder() + QStringLiteral("/promo.wav"));
    EXPECT_EQ(shown().durationMs, 12000);
    const auto swapping = std::find_if(
        window.lineStates.begin() + static_cast<std::ptrdiff_t>(before), window.lineStates.end(),
        [](const LineState& l) { return l.reason == OffAirReason::Swapping; });
    ASSERT_NE(swapping, window.lineStates.end());
    EXPECT_TRUE(swapping->onPurpose);
    EXPECT_EQ(sender.sent.size(), 2u);

    shell->finish();
    EXPECT_EQ(shown().reason, OffAirReason::Closing);
    EXPECT_EQ(sender.sent.size(), 2u);
}

TEST_F(ShellLine, TheHardwareAbsentTheServerAwayOrTheLineTaken) {
    putMessage(QStringLiteral("espera.wav"));
    lister.inputs = {QStringLiteral("Microfone (Realtek HD)")};
    start();
    EXPECT_EQ(shown().reason, OffAirReason::HardwareAbsent);
    shell.reset();

    lister.listFails = true;
    start();
    EXPECT_EQ(shown().reason, OffAirReason::SoundServerDown);
    shell.reset();

    lister.listFails = false;
    lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)")};
    start(QStringLiteral("O hardware está em uso."));
    loop.advance(6000);
    EXPECT_EQ(shown().reason, OffAirReason::LineTaken);
    EXPECT_TRUE(sender.sent.empty());
}

}  // namespace
