#include "hardware/HidDeviceWatcher.h"

#include <algorithm>
#include <utility>

#include "core/EventLoop.h"

namespace quindra {

HidDevice::HidDevice(const HidDeviceInfo& info, PlugEvent onUnplug)
    : path_(info.path),
      instance_(info.instance),
      identity_{info.vendorId, info.productId, info.version},
      onUnplug_(std::move(onUnplug)) {}

HidDeviceWatcher::HidDeviceWatcher(DevicePlatform& platform, EventLoop& loop)
    : platform_(platform), guard_(loop) {
    watch_ = platform_.watchHidDevices([this] { runPass(Pass::DevicesChanged); });
    if (watch_)
        guard_.post([this] { runPass(Pass::Initial); });
}

HidDeviceWatcher::~HidDeviceWatcher() {
    onArrival = nullptr;
    onRemoval = nullptr;
    onUnplug = nullptr;
    onChange = nullptr;
    watch_.reset();
    list_.clear();
}

void HidDeviceWatcher::runPass(Pass kind) {
    if (passInProgress_)
        return;
    passInProgress_ = true;
    // The mark is cleared even when the pass ends by a failure, so later
    // notifications run their passes.
    struct ClearMark {
        bool& mark;
        ~ClearMark() { mark = false; }
    } clear{passInProgress_};
    pass(kind);
}

void HidDeviceWatcher::pass(Pass kind) {
    bool changed = kind == Pass::Initial;
    const std::vector<HidDeviceInfo> fresh = platform_.hidDevicesPresent();
    const auto inFresh = [&fresh](const QByteArray& instance) {
        return std::any_of(fresh.begin(), fresh.end(),
                           [&](const HidDeviceInfo& d) { return d.instance == instance; });
    };

    // Last entry first: an entry goes when its device is missing now, or when
    // it is already marked unplugged.
    for (std::size_t i = list_.size(); i-- > 0;) {
        HidDevice& entry = *list_[i];
        if (entry.pluggedIn_ && inFresh(entry.instance_))
            continue;
        entry.pluggedIn_ = false;
        // Taken out of the device before the call, so that even a call that
        // fails is never made twice.
        if (const PlugEvent unplug = std::exchange(entry.onUnplug_, nullptr))
            unplug(entry);
        if (const PlugEvent removal = onRemoval)
            removal(entry);
        list_.erase(list_.begin() + static_cast<std::ptrdiff_t>(i));
        changed = true;
    }

    for (const HidDeviceInfo& info : fresh) {
        const bool known = std::any_of(list_.begin(), list_.end(), [&](const auto& entry) {
            return entry->pluggedIn_ && entry->instance_ == info.instance;
        });
        if (known)
            continue;
        list_.push_back(std::make_unique<HidDevice>(info, onUnplug));
        if (const PlugEvent arrival = onArrival)
            arrival(*list_.back());
        changed = true;
    }

    if (changed) {
        if (const auto change = onChange)
            change(*this);
    }
}

}  // namespace quindra
