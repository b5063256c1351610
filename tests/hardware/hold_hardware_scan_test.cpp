#include <gtest/gtest.h>

#include "core/Runtime.h"
#include "core/VirtualEventLoop.h"
#include "hardware/HoldHardwareScan.h"
#include "support/FakeLog.h"
#include "support/FakeWaveControl.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

class Scan : public ::testing::Test {
protected:
    void run() { HoldHardwareScan(lister, state.scan, log, *startTimer).scan(); }
    VirtualEventLoop loop;
    FakeWaveControl lister;
    RuntimeState state;
    FakeLog log;
    std::unique_ptr<Timer> startTimer = loop.createTimer(6000, [this] { ++opened; });
    int opened = 0;
};

const QStringList kNotFound{QStringLiteral("Localizando Hardware da Vizudu..."),
                            QStringLiteral("O Hardware da espera não foi localizado."),
                            QStringLiteral("Verifique se o cabo usb esta conectado.")};
const QStringList kFound{QStringLiteral("Localizando Hardware da Vizudu..."),
                         QStringLiteral("O hardware da espera foi localizado."),
                         QStringLiteral("Aguarde inicializando stream.")};

TEST_F(Scan, NoCaptureDevicesMeansNotFoundAtOnce) {
    run();
    EXPECT_EQ(log.lines, kNotFound);
    EXPECT_FALSE(state.scan.hardwareFound);
    EXPECT_FALSE(startTimer->enabled());
    EXPECT_EQ(loop.pausedMs(), 0);
}

TEST_F(Scan, TwoMatchingDevicesGiveOneVerdictAndOneArming) {
    lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)"), QStringLiteral("Microfone (Realtek)"),
                     QStringLiteral("Microfone (2- Q-ZORBE)")};
    int handledMeanwhile = 0;
    loop.post([&] { ++handledMeanwhile; });
    run();
    EXPECT_EQ(log.lines, kFound);
    EXPECT_TRUE(state.scan.hardwareFound);
    EXPECT_TRUE(startTimer->enabled());
    // One listing, without a pause and without letting another handler in.
    EXPECT_EQ(lister.calls, QStringList{QStringLiteral("captureDevices")});
    EXPECT_EQ(handledMeanwhile, 0);
    EXPECT_EQ(loop.pausedMs(), 0);
    loop.advance(6000);
    EXPECT_EQ(opened, 1);
}

TEST_F(Scan, FindsTheMicrophoneNameAfterOtherDevices) {
    lister.inputs = {QStringLiteral("Microfone (Realtek)"), QStringLiteral("quebrado"),
                     QStringLiteral("Microfone (Q-ZORBE)")};
    run();
    EXPECT_EQ(log.lines, kFound);
}

TEST_F(Scan, AFailingDeviceListEndsTheScanWithoutAVerdict) {
    lister.listFails = true;
    EXPECT_THROW(run(), WaveError);
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Localizando Hardware da Vizudu...")});
    EXPECT_FALSE(startTimer->enabled());
}

}  // namespace
