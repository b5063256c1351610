#include <QProcess>

#include "HoldLineRig.h"

namespace quindra::testing {
namespace {

using namespace std::chrono_literals;

QString pactl(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The hold channel on the real wave control, playing a 2-second message.
class HoldLine : public HoldLineRig, public ::testing::WithParamInterface<SoundServer> {
protected:
    HoldLine() : HoldLineRig(GetParam(), 2.0) {}
};

const QString kBack = QStringLiteral("A mensagem de espera voltou ao ar.");

// The player loops the message by itself: the UI thread, blocked for five
// seconds in the middle of it, is never heard on the line.
TEST_P(HoldLine, TheLoopGoesOnWithoutAGapWhileTheUiThreadIsBlocked) {
    startServer();
    makeChannel();
    channel_->start();
    ASSERT_TRUE(state_.channel.active);
    ASSERT_EQ(waitForPasses(1).size(), 1u) << "the message never went on air";

    loop_.pause(5000);

    const auto starts = waitForPasses(5);
    ASSERT_GE(starts.size(), 5u);
    expectJoinsWithoutGaps(starts);
    EXPECT_EQ(channel_->underruns(), 0);
    EXPECT_EQ(log_.lines, QStringList{QStringLiteral("Stream inicializado com sucesso.")});
}

// The hold device leaves the sound server and comes back without any USB
// event (a profile change, a rebuilt node): the stream is not moved to the
// default device meanwhile, the silence and the return are written, and the
// message plays again from its beginning, with the capture running again.
TEST_P(HoldLine, TheHoldDeviceRemovedAndCreatedAgainBringsTheMessageBack) {
    struct Case {
        const char* what;
        bool sinkOnly;
    };
    for (const Case c : {Case{"sink and source", false}, Case{"sink only", true}}) {
        SCOPED_TRACE(c.what);
        if (!connection_) {
            startServer();
            makeChannel();
            channel_->start();
        }
        ASSERT_FALSE(waitForPasses(1).empty());
        log_.lines.clear();

        played_.reset();
        ASSERT_TRUE(server_.unplug(c.sinkOnly));
        ASSERT_TRUE(
            waitForLine(QStringLiteral("O dispositivo de áudio da espera saiu do servidor "
                                       "de som; a mensagem de espera está fora do ar.")))
            << journal();
        EXPECT_EQ(
            pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")}),
            QString())
            << "the message went to another device";

        ASSERT_TRUE(server_.replug(c.sinkOnly));
        listen();
        EXPECT_TRUE(waitForLine(kBack));
        const auto starts = waitForPasses(2);
        EXPECT_GE(starts.size(), 2u);
        expectJoinsWithoutGaps(starts);
        EXPECT_TRUE(waitFor(
            loop_, [&] { return monitor_->capturing(); }, 10s));
    }
}

// The program starts before the sound server (an autostart that beats the
// desktop's server), and the server restarts later: each time the channel
// comes up by itself, with a line for the silence and one for the return.
TEST_P(HoldLine, AServerThatStartsLateOrRestartsBringsTheChannelUp) {
    makeChannel();
    EXPECT_TRUE(waitForLine(QStringLiteral("O servidor de som não está disponível; o canal da "
                                           "espera será aberto quando o hardware da espera "
                                           "aparecer nele."),
                            5s));
    startServer();
    ASSERT_TRUE(waitFor(
        loop_, [&] { return state_.channel.active; }, 20s))
        << journal();
    EXPECT_TRUE(log_.lines.contains(QStringLiteral("O hardware da espera foi localizado.")));
    EXPECT_GE(waitForPasses(2).size(), 2u);

    log_.lines.clear();
    played_.reset();
    server_.crash();
    EXPECT_TRUE(waitForLine(
        QStringLiteral("O servidor de som parou; a mensagem de espera está fora do ar.")));
    ASSERT_TRUE(server_.start());
    listen();
    EXPECT_TRUE(waitForLine(kBack, 20s));
    EXPECT_GE(waitForPasses(2).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Servers, HoldLine,
                         ::testing::Values(SoundServer::PulseAudio, SoundServer::PipeWire),
                         [](const auto& info) { return ServerName(info.param); });

}  // namespace
}  // namespace quindra::testing
