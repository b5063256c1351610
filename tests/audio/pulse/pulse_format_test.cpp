#include <gtest/gtest.h>

#include "audio/pulse/PulseFormat.h"

namespace quindra::pulse {
namespace {

TEST(PulseFormat, PlaysEightOrSixteenBitPcmOnOneOrTwoChannelsAndRefusesTheRest) {
    struct Case {
        WaveFormat format;
        bool playable;
    };
    for (const Case& c : {
             Case{kHoldMessageFormat, true},
             Case{{48000, 2, 16}, true},
             Case{{8000, 1, 8}, true},
             Case{{1000, 1, 16}, true},
             Case{{192000, 2, 16}, true},
             Case{{44100, 1, 24}, false},
             Case{{44100, 1, 32}, false},
             Case{{44100, 0, 16}, false},
             Case{{44100, 6, 16}, false},
             Case{{999, 1, 16}, false},
             Case{{192001, 1, 16}, false},
         }) {
        SCOPED_TRACE(testing::Message() << c.format.rate << " Hz " << c.format.channels << " ch "
                                        << c.format.bits << " bit");
        if (c.playable)
            EXPECT_NO_THROW(requirePlayable(c.format));
        else
            EXPECT_THROW(requirePlayable(c.format), WaveError);
    }
}

TEST(PulseFormat, AsksTheServerForTheSameFormat) {
    const pa_sample_spec hold = sampleSpecOf(kHoldMessageFormat);
    EXPECT_EQ(hold.format, PA_SAMPLE_S16NE);
    EXPECT_EQ(hold.rate, 44100u);
    EXPECT_EQ(hold.channels, 1);
    const pa_sample_spec eight = sampleSpecOf({8000, 2, 8});
    EXPECT_EQ(eight.format, PA_SAMPLE_U8);
    EXPECT_EQ(eight.rate, 8000u);
    EXPECT_EQ(eight.channels, 2);
}

}  // namespace
}  // namespace quindra::pulse
