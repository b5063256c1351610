#include <gtest/gtest.h>

#include <vector>

#include "core/VirtualEventLoop.h"
#include "mail/MailNotices.h"

using namespace quindra;

namespace {

using Type = MailNotices::Type;

struct Notices : ::testing::Test {
    Notices() {
        mail.send = [this](Type t) { sent.push_back({loop.now(), t}); };
    }
    struct Sent {
        std::int64_t at;
        Type type;
        bool operator==(const Sent&) const = default;
    };
    VirtualEventLoop loop;
    MailNotices mail{loop};
    std::vector<Sent> sent;
};

struct OptionCase {
    bool enabled;
    bool onSwap;
    bool onHardware;
    std::vector<Type> armed;  // by a swap, an unplug and a replug, in that order
};

// Each event arms its notice only while mail is on and its option is
// chosen; the timer then hands its type on once.
TEST_F(Notices, EachEventArmsItsTimerOnlyWhenMailAndItsOptionAreOn) {
    for (const OptionCase& c :
         {OptionCase{false, true, true, {}}, OptionCase{true, false, false, {}},
          OptionCase{true, true, false, {Type::MessageSwapped}},
          OptionCase{true, false, true, {Type::HardwareDisconnected, Type::HardwareReconnected}},
          OptionCase{
              true,
              true,
              true,
              {Type::MessageSwapped, Type::HardwareDisconnected, Type::HardwareReconnected}}}) {
        SCOPED_TRACE(::testing::Message() << c.enabled << c.onSwap << c.onHardware);
        sent.clear();
        mail.setEnabled(c.enabled);
        mail.setOnSwap(c.onSwap);
        mail.setOnHardware(c.onHardware);
        const std::int64_t t0 = loop.now();
        mail.messageSwapped();
        mail.hardwareDisconnected();
        mail.hardwareReconnected();
        loop.advance(10000);
        std::vector<Type> types;
        for (const Sent& s : sent)
            types.push_back(s.type);
        EXPECT_EQ(types, c.armed);
        for (const Sent& s : sent)
            EXPECT_EQ(s.at - t0, s.type == Type::MessageSwapped ? 1000 : 3000);
    }
}

TEST_F(Notices, ASecondEventWhileArmedKeepsTheCountdownAndSendsOnce) {
    mail.setEnabled(true);
    mail.setOnHardware(true);
    mail.hardwareReconnected();
    loop.advance(2000);
    mail.hardwareReconnected();
    loop.advance(5000);
    EXPECT_EQ(sent, (std::vector<Sent>{{3000, Type::HardwareReconnected}}));
    EXPECT_FALSE(mail.replugNoticeTimer().enabled());
}

TEST_F(Notices, AnOptionSwitchedOffAfterArmingStillFiresTheTimer) {
    // The options are tested when a timer is armed, not when it fires; what
    // goes out then is the sender's decision.
    mail.setEnabled(true);
    mail.setOnSwap(true);
    mail.messageSwapped();
    mail.setEnabled(false);
    loop.advance(1000);
    EXPECT_EQ(sent, (std::vector<Sent>{{1000, Type::MessageSwapped}}));
}

}  // namespace
