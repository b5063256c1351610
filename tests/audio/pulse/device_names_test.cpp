#include <gtest/gtest.h>

#include "audio/pulse/DeviceDirectory.h"

namespace quindra::pulse {
namespace {

QStringList names(DeviceKind kind, const std::vector<ServerDevice>& devices) {
    QStringList out;
    for (const auto& d : nameDevices(kind, devices))
        out << d.name;
    return out;
}

TEST(PulseDeviceNames, CaptureDevicesAreMicrophonesAndMonitorsAreLeftOut) {
    const std::vector<ServerDevice> sources{
        {"alsa_output.usb.monitor", "Monitor of Q-ZORBE USB", true},
        {"alsa_input.usb", "Q-ZORBE", false},
        {"alsa_input.pci", "Built-in Audio Analog Stereo", false},
    };
    const auto named = nameDevices(DeviceKind::Capture, sources);
    ASSERT_EQ(named.size(), 2u);
    EXPECT_EQ(named[0].name, QStringLiteral("Microfone (Q-ZORBE)"));
    EXPECT_EQ(named[0].pulseName, "alsa_input.usb");
    EXPECT_EQ(named[1].name, QStringLiteral("Microfone (Built-in Audio Analog Stereo)"));
}

TEST(PulseDeviceNames, PlaybackDevicesAreSpeakers) {
    EXPECT_EQ(names(DeviceKind::Playback, {{"hold_out", "Q-ZORBE", false}}),
              QStringList{QStringLiteral("Alto-falantes (Q-ZORBE)")});
}

TEST(PulseDeviceNames, ARepeatedProductIsNumberedFromTheSecondOn) {
    const std::vector<ServerDevice> sources{{"a", "Q-ZORBE", false},
                                            {"b", "Other", false},
                                            {"c", "Q-ZORBE", false},
                                            {"d", "Q-ZORBE", false}};
    EXPECT_EQ(
        names(DeviceKind::Capture, sources),
        (QStringList{QStringLiteral("Microfone (Q-ZORBE)"), QStringLiteral("Microfone (Other)"),
                     QStringLiteral("Microfone (2- Q-ZORBE)"),
                     QStringLiteral("Microfone (3- Q-ZORBE)")}));
}

}  // namespace
}  // namespace quindra::pulse
