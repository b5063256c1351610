#include "mail/MailOffice.h"

namespace quindra {

MailOffice::MailOffice(MailNotices& notices, Ports ports)
    : notices_(notices),
      formats_(std::move(ports.formats)),
      client_(notices.smtp(), ports.clock, tls_),
      notice_({.desk = {message_, client_, tls_},
               .notices = notices,
               .log = ports.log,
               .clock = ports.clock,
               .formats = formats_,
               .onAir = ports.onAir}),
      test_({.desk = {message_, client_, tls_},
             .boxes = ports.boxes,
             .loop = notices.loop(),
             .clock = ports.clock}) {
    notices_.send = [this](MailNotices::Type type) { sendNotice(type); };
}

MailOffice::~MailOffice() {
    notices_.send = nullptr;
}

}  // namespace quindra
