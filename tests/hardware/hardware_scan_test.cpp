#include <gtest/gtest.h>

#include "core/Runtime.h"
#include "core/VirtualEventLoop.h"
#include "hardware/HardwareScan.h"
#include "support/FakeLog.h"
#include "support/FakeWaveControl.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

class Scan : public ::testing::Test {
protected:
    void run(int generation) {
        state.WindowsGeneration = generation;
        HardwareScan(lister, state.scan, state, log, loop, *tHid).ScanForHoldHardware();
    }
    VirtualEventLoop loop;
    FakeWaveControl lister;
    RuntimeState state;
    FakeLog log;
    std::unique_ptr<Timer> tHid = loop.createTimer(6000, [this] { ++opened; });
    int opened = 0;
};

const QStringList kNotFound{QStringLiteral("Localizando Hardware da Vizudu..."),
                            QStringLiteral("O Hardware da espera não foi localizado."),
                            QStringLiteral("Verifique se o cabo usb esta conectado.")};
const QStringList kFound{QStringLiteral("Localizando Hardware da Vizudu..."),
                         QStringLiteral("O hardware da espera foi localizado."),
                         QStringLiteral("Aguarde inicializando stream.")};

TEST_F(Scan, NoCaptureDevicesMeansNotFoundAtOnce) {
    for (int generation : {5, 4}) {
        log.lines.clear();
        run(generation);
        EXPECT_EQ(log.lines, kNotFound);
        EXPECT_FALSE(state.scan.HardwareFound);
        EXPECT_FALSE(tHid->enabled());
        EXPECT_EQ(loop.pausedMs(), 0);
    }
}

TEST_F(Scan, TwoMatchingDevicesOnTheExactRuleGiveOneVerdictAndOneArming) {
    lister.inputs = {QStringLiteral("Q-ZORBE"), QStringLiteral("Microfone (Realtek)"),
                     QStringLiteral("Q-ZORBE")};
    int handledBetweenDevices = 0;
    loop.post([&] { ++handledBetweenDevices; });
    run(4);
    EXPECT_EQ(log.lines, kFound);
    EXPECT_TRUE(state.scan.HardwareFound);
    EXPECT_TRUE(tHid->enabled());
    // Every device is visited, with messages handled and a pause after each.
    EXPECT_EQ(lister.calls.filter(QStringLiteral("WaveInDeviceName")).size(), 3);
    EXPECT_EQ(handledBetweenDevices, 1);
    EXPECT_EQ(loop.pausedMs(), 1500);
    loop.advance(6000);
    EXPECT_EQ(opened, 1);
}

TEST_F(Scan, RelaxedRuleFindsTheMicrophoneNameAndSkipsAnUnreadableDevice) {
    lister.inputs = {QStringLiteral("Microfone (Realtek)"), QStringLiteral("quebrado"),
                     QStringLiteral("Microfone (Q-ZORBE)")};
    lister.unreadable = {QStringLiteral("quebrado")};
    run(5);
    EXPECT_EQ(log.lines, kFound);
    EXPECT_EQ(loop.pausedMs(), 0);

    // The same name under the exact rule is not the hardware.
    state.scan.HardwareFound = false;
    log.lines.clear();
    lister.unreadable.clear();
    tHid->setEnabled(false);
    run(4);
    EXPECT_EQ(log.lines, kNotFound);
}

TEST_F(Scan, AFailingDeviceListEndsTheScanWithoutAVerdict) {
    lister.countFails = true;
    EXPECT_THROW(run(5), WaveError);
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Localizando Hardware da Vizudu...")});
    EXPECT_FALSE(tHid->enabled());
}

}  // namespace
