#include "mail/MailOffice.h"

namespace quindra {

MailOffice::MailOffice(MailNotices& notices, Ports ports)
    : notices_(notices),
      formats_(std::move(ports.formats)),
      SMTP_(notices.smtp(), ports.clock, SSLSocket_),
      notice_({.desk = {EmailCorpo_, SMTP_, SSLSocket_},
               .notices = notices,
               .log = ports.log,
               .clock = ports.clock,
               .formats = formats_,
               .view = ports.view}),
      test_({.desk = {EmailCorpo_, SMTP_, SSLSocket_},
             .view = ports.view,
             .boxes = ports.boxes,
             .portNumber = std::move(ports.portNumber)}) {
    notices_.EnviaEmail = [this](MailNotices::Type type) { EnviaEmail(type); };
}

MailOffice::~MailOffice() {
    notices_.EnviaEmail = nullptr;
}

}  // namespace quindra
