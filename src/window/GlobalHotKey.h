#pragma once

#include <functional>

#include "core/ShortCut.h"

namespace quindra {

// The desktop's system-wide key grab.
class HotKeyRegistrar {
public:
    virtual ~HotKeyRegistrar() = default;
    // Grabs the combination; onPress runs on the UI thread for each press.
    // False when the desktop refuses (taken, not a valid combination, or no
    // desktop that offers grabs).
    virtual bool grab(ShortCut key, std::function<void()> onPress) = 0;
    virtual void release() = 0;
    // False when the session offers no grabs at all (no X11 display), so a
    // refusal there says nothing about the combination.
    virtual bool available() const { return true; }
};

// A registrar for a session that offers no global key grabs.
class NoHotKeyRegistrar final : public HotKeyRegistrar {
public:
    bool grab(ShortCut, std::function<void()>) override { return false; }
    void release() override {}
    bool available() const override { return false; }
};

// The restore hot-key. The combination is registered when the component is
// enabled; changing it afterwards takes effect at the next enabling.
class GlobalHotKey {
public:
    explicit GlobalHotKey(HotKeyRegistrar& registrar) : registrar_(registrar) {}
    ~GlobalHotKey() { setEnabled(false); }
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    void setKey(ShortCut key) { key_ = key; }
    ShortCut key() const { return key_; }
    void setEnabled(bool on);
    bool enabled() const { return enabled_; }
    bool registered() const { return registered_; }

    std::function<void()> onPress;

private:
    HotKeyRegistrar& registrar_;
    ShortCut key_ = 0;
    bool enabled_ = false;
    bool registered_ = false;
};

}  // namespace quindra
