#pragma once

namespace quindra {

// The runtime copies of the mail options, and whether a composed notice still
// waits to go out. Only MailNotices writes them.
struct MailFlags {
    bool enabled = false;     // mail is on
    bool onSwap = false;      // notice a swapped message
    bool onHardware = false;  // notice the hardware going and coming back
    bool secure = false;      // notices go inside TLS from the first byte
    bool pending = false;
};

}  // namespace quindra
