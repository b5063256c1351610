#pragma once

namespace quindra {

// The runtime copies of the mail options, and whether a composed notice still
// waits to go out. Only MailNotices writes them.
struct MailFlags {
    bool SendMailFlag = false;
    bool TrocaMsgFlag = false;
    bool HardDescFlag = false;
    bool AuthSeguroFlag = false;
    bool MailPending = false;
};

}  // namespace quindra
