#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "TestAudio.h"
#include "VirtualHoldDevice.h"
#include "audio/pulse/PulseWaveControl.h"
#include "core/QtEventLoop.h"

namespace quindra::testing {

inline const QString kHoldIn = QStringLiteral("Microfone (Q-ZORBE)");
inline const QString kHoldOut = QStringLiteral("Alto-falantes (Q-ZORBE)");
inline const DeviceChoice kHoldCapture = DeviceChoice::named(kHoldIn);
inline const DeviceChoice kHoldPlayback = DeviceChoice::named(kHoldOut);
inline const DeviceChoice kDefaultDevice = DeviceChoice::systemDefault();

// Keeps what a wave control hands its sample listeners.
class SampleLog : public SampleListener {
public:
    void samples(const std::int16_t* data, std::size_t count, int rate) override {
        all.insert(all.end(), data, data + count);
        rates.push_back(rate);
    }
    std::vector<std::int16_t> all;
    std::vector<int> rates;
};

// A private server with the hold device, what its output plays, and one
// control on the process's connection to it.
class PulseFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.start());
        played_ = std::make_unique<PlayedAudio>(server_.playedFifo());
        connection_ = std::make_shared<pulse::PulseConnection>(loop_);
        control_ = std::make_unique<pulse::PulseWaveControl>(connection_);
    }

    QString file(const char* name) const { return files_.filePath(QString::fromLatin1(name)); }

    QtEventLoop loop_;
    VirtualHoldDevice server_;
    QTemporaryDir files_;
    std::unique_ptr<PlayedAudio> played_;
    std::shared_ptr<pulse::PulseConnection> connection_;
    std::unique_ptr<pulse::PulseWaveControl> control_;
};

}  // namespace quindra::testing
