#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <vector>

#include "window/GlobalHotKey.h"

struct xcb_connection_t;

namespace quindra {

// What the grab registers for a stored combination: the X11 modifier mask
// (Shift, Control, Mod1 for Alt) and the key symbol; a key symbol of 0 for a
// key outside the hot-key table, which cannot be grabbed.
struct X11KeyGrab {
    std::uint16_t modifiers = 0;
    std::uint32_t keySym = 0;
};
X11KeyGrab X11KeyGrabOf(ShortCut key);

// Whether a key press the grab delivered is the hot-key: one of the grabbed
// key codes with exactly the grabbed Shift, Ctrl and Alt (the X11 modifier
// mask of a press), whatever the lock keys say.
bool IsHotKeyPress(std::uint16_t pressState, std::uint8_t keyCode, std::uint16_t grabbedModifiers,
                   const std::vector<std::uint8_t>& grabbedKeyCodes);

// The restore hot-key as a key grab on the X11 root window. On a session
// without X11 every grab is refused, as a taken combination would be.
class XcbHotKeyRegistrar final : public HotKeyRegistrar, public QAbstractNativeEventFilter {
public:
    XcbHotKeyRegistrar();
    ~XcbHotKeyRegistrar() override;
    XcbHotKeyRegistrar(const XcbHotKeyRegistrar&) = delete;
    XcbHotKeyRegistrar& operator=(const XcbHotKeyRegistrar&) = delete;

    bool grab(ShortCut key, std::function<void()> onPress) override;
    void release() override;
    bool available() const override { return conn_ != nullptr; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    xcb_connection_t* conn_ = nullptr;
    std::uint32_t root_ = 0;
    std::vector<std::uint8_t> keycodes_;
    std::uint16_t modifiers_ = 0;
    std::function<void()> onPress_;
    bool filtering_ = false;
};

}  // namespace quindra
