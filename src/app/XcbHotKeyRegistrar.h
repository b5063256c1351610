#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <vector>

#include "app/GlobalHotKey.h"

struct xcb_connection_t;

namespace quindra {

// The restore hot-key as a key grab on the X11 root window. On a session
// without X11 every grab is refused, as a taken combination would be.
class XcbHotKeyRegistrar final : public HotKeyRegistrar, public QAbstractNativeEventFilter {
public:
    XcbHotKeyRegistrar();
    ~XcbHotKeyRegistrar() override;
    XcbHotKeyRegistrar(const XcbHotKeyRegistrar&) = delete;
    XcbHotKeyRegistrar& operator=(const XcbHotKeyRegistrar&) = delete;

    bool grab(TShortCut key, std::function<void()> onPress) override;
    void release() override;

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
