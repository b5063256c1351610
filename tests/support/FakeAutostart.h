#pragma once

#include <vector>

#include "config/Autostart.h"

namespace quindra::testing {

// Notes each request; fails them all when `works` is off.
class FakeAutostart final : public SessionAutostart {
public:
    bool set(bool on) override {
        requests.push_back(on);
        return works;
    }
    std::vector<bool> requests;
    bool works = true;
};

}  // namespace quindra::testing
