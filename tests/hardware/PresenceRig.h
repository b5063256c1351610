#pragma once

#include <memory>

#include "core/EventLoop.h"
#include "core/Runtime.h"
#include "hardware/HardwarePresence.h"
#include "support/FakeDevices.h"
#include "support/FakeLog.h"
#include "support/FakeWaveControl.h"

namespace quindra::testing {

// The presence handling of a running program whose channel is on air, on the
// given devices, its USB watch started. It counts the channel openings and
// what it tells whoever mails.
struct PresenceRig {
    PresenceRig(DevicePlatform& devices, EventLoop& loop)
        : startTimer(loop.createTimer(6000, [this] {
              startTimer->setEnabled(false);
              ++opened;
          })) {
        state.channel.active = true;
        presence = std::make_unique<HardwarePresence>(
            HardwarePresence::Ports{.devices = devices,
                                    .loop = loop,
                                    .state = state,
                                    .log = log,
                                    .startTimer = *startTimer,
                                    .player = player,
                                    .monitor = monitor,
                                    .alert = alert,
                                    .channelUnplugged = [this] { state.channel.active = false; },
                                    .unplugged = [this] { ++unpluggedTold; },
                                    .pluggedBack = [this] { ++pluggedBackTold; }});
        presence->startUsbWatch();
    }

    RuntimeState state;
    FakeLog log;
    std::unique_ptr<Timer> startTimer;
    int opened = 0;
    FakeWaveControl player, monitor;
    FakeAlert alert;
    int unpluggedTold = 0;
    int pluggedBackTold = 0;
    std::unique_ptr<HardwarePresence> presence;
};

}  // namespace quindra::testing
