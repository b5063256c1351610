#include "app/XcbHotKeyRegistrar.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <cstdlib>
#include <memory>

namespace quindra {

namespace {

// The X keysym of a Windows virtual-key code, 0 when there is none.
xcb_keysym_t KeySymOf(std::uint8_t vk) {
    if (vk >= 'A' && vk <= 'Z')
        return XK_a + (vk - 'A');
    if (vk >= '0' && vk <= '9')
        return XK_0 + (vk - '0');
    if (vk >= 0x70 && vk <= 0x87)
        return XK_F1 + (vk - 0x70);
    switch (vk) {
        case 0x08:
            return XK_BackSpace;
        case 0x09:
            return XK_Tab;
        case 0x0D:
            return XK_Return;
        case 0x13:
            return XK_Pause;
        case 0x1B:
            return XK_Escape;
        case 0x20:
            return XK_space;
        case 0x21:
            return XK_Prior;
        case 0x22:
            return XK_Next;
        case 0x23:
            return XK_End;
        case 0x24:
            return XK_Home;
        case 0x25:
            return XK_Left;
        case 0x26:
            return XK_Up;
        case 0x27:
            return XK_Right;
        case 0x28:
            return XK_Down;
        case 0x2C:
            return XK_Print;
        case 0x2D:
            return XK_Insert;
        case 0x2E:
            return XK_Delete;
        case 0xBA:
            return XK_semicolon;
        case 0xBB:
            return XK_equal;
        case 0xBC:
            return XK_comma;
        case 0xBD:
            return XK_minus;
        case 0xBE:
            return XK_period;
        case 0xBF:
            return XK_slash;
        case 0xC0:
            return XK_grave;
        case 0xDB:
            return XK_bracketleft;
        case 0xDC:
            return XK_backslash;
        case 0xDD:
            return XK_bracketright;
        case 0xDE:
            return XK_apostrophe;
        default:
            return 0;
    }
}

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

bool XcbHotKeyRegistrar::grab(TShortCut key, std::function<void()> onPress) {
    release();
    if (!conn_)
        return false;
    const xcb_keysym_t sym = KeySymOf(VirtualKeyOf(key));
    if (sym == 0)
        return false;

    std::unique_ptr<xcb_key_symbols_t, KeySymsFree> syms(xcb_key_symbols_alloc(conn_));
    if (!syms)
        return false;
    std::unique_ptr<xcb_keycode_t, MallocFree> codes(xcb_key_symbols_get_keycode(syms.get(), sym));
    if (!codes)
        return false;

    std::uint16_t mods = 0;
    if (key & scShift)
        mods |= XCB_MOD_MASK_SHIFT;
    if (key & scCtrl)
        mods |= XCB_MOD_MASK_CONTROL;
    if (key & scAlt)
        mods |= XCB_MOD_MASK_1;

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
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    const std::uint16_t relevant =
        press->state & (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    bool ours = relevant == modifiers_;
    if (ours) {
        ours = false;
        for (xcb_keycode_t c : keycodes_)
            ours = ours || c == press->detail;
    }
    if (!ours)
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
