#include "window/XcbHotKeyRegistrar.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <algorithm>
#include <cstdlib>
#include <memory>

namespace quindra {

namespace {

// Caps Lock and Num Lock must not stop the key from working.
constexpr std::uint16_t kLockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                           XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

struct KeySymsFree {
    void operator()(xcb_key_symbols_t* s) const { xcb_key_symbols_free(s); }
};
struct MallocFree {
    void operator()(void* p) const { std::free(p); }
};

}  // namespace

X11KeyGrab X11KeyGrabOf(ShortCut key) {
    X11KeyGrab grab;
    grab.keySym = X11KeySymOf(VirtualKeyOf(key));
    if (key & kShiftKey)
        grab.modifiers |= XCB_MOD_MASK_SHIFT;
    if (key & kCtrlKey)
        grab.modifiers |= XCB_MOD_MASK_CONTROL;
    // Alt is the first modifier on every X keyboard map the desktops set up.
    if (key & kAltKey)
        grab.modifiers |= XCB_MOD_MASK_1;
    return grab;
}

bool IsHotKeyPress(std::uint16_t pressState, std::uint8_t keyCode, std::uint16_t grabbedModifiers,
                   const std::vector<std::uint8_t>& grabbedKeyCodes) {
    const std::uint16_t held =
        pressState & (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    return held == grabbedModifiers && std::find(grabbedKeyCodes.begin(), grabbedKeyCodes.end(),
                                                 keyCode) != grabbedKeyCodes.end();
}

XcbHotKeyRegistrar::XcbHotKeyRegistrar() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    conn_ = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(conn_);
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup);
    if (!screen.rem) {
        conn_ = nullptr;
        return;
    }
    root_ = screen.data->root;
}

XcbHotKeyRegistrar::~XcbHotKeyRegistrar() {
    release();
    if (filtering_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool XcbHotKeyRegistrar::grab(ShortCut key, std::function<void()> onPress) {
    release();
    if (!conn_)
        return false;
    const X11KeyGrab wanted = X11KeyGrabOf(key);
    if (wanted.keySym == 0)
        return false;

    std::unique_ptr<xcb_key_symbols_t, KeySymsFree> syms(xcb_key_symbols_alloc(conn_));
    if (!syms)
        return false;
    std::unique_ptr<xcb_keycode_t, MallocFree> codes(
        xcb_key_symbols_get_keycode(syms.get(), wanted.keySym));
    if (!codes)
        return false;

    const std::uint16_t mods = wanted.modifiers;

    for (const xcb_keycode_t* c = codes.get(); *c != XCB_NO_SYMBOL; ++c) {
        for (std::uint16_t lock : kLockVariants) {
            const xcb_void_cookie_t cookie = xcb_grab_key_checked(
                conn_, 1, root_, mods | lock, *c, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            if (xcb_generic_error_t* error = xcb_request_check(conn_, cookie)) {
                // Taken by another program: undo what was grabbed.
                std::free(error);
                keycodes_.push_back(*c);
                modifiers_ = mods;
                release();
                return false;
            }
        }
        keycodes_.push_back(*c);
    }
    if (keycodes_.empty())
        return false;
    modifiers_ = mods;
    onPress_ = std::move(onPress);
    if (!filtering_) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        filtering_ = true;
    }
    xcb_flush(conn_);
    return true;
}

void XcbHotKeyRegistrar::release() {
    if (conn_) {
        for (xcb_keycode_t c : keycodes_)
            for (std::uint16_t lock : kLockVariants)
                xcb_ungrab_key(conn_, c, root_, modifiers_ | lock);
        if (!keycodes_.empty())
            xcb_flush(conn_);
    }
    keycodes_.clear();
    onPress_ = nullptr;
}

bool XcbHotKeyRegistrar::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (keycodes_.empty() || eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
        return false;
    const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
    if (!IsHotKeyPress(press->state, press->detail, modifiers_, keycodes_))
        return false;
    // Handled after the event filter returns, like any other window event.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [fn = onPress_] {
            if (fn)
                fn();
        },
        Qt::QueuedConnection);
    return true;
}

}  // namespace quindra
