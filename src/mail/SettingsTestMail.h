#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "mail/MailSettings.h"
#include "mail/NoticeMail.h"

namespace quindra {

class EventLoop;
class InfoBox;

// The "Teste" button: one fixed mail with the settings as the page shows
// them, its outcome told in one box. The exchange runs on a thread of its
// own with a client of its own, so the window keeps answering however long
// the server takes, and a notice that falls due meanwhile goes out on the
// notices' client. The box is shown on the UI thread once the connection is
// closed.
class SettingsTestMail {
public:
    struct Ports {
        MailDesk desk;
        InfoBox& boxes;
        EventLoop& loop;
        const Clock& clock;
    };

    explicit SettingsTestMail(Ports ports);
    // A test still under way is abandoned (the notices' abort switch is
    // thrown) and waited for: nothing of it outlives the program.
    ~SettingsTestMail();
    SettingsTestMail(const SettingsTestMail&) = delete;
    SettingsTestMail& operator=(const SettingsTestMail&) = delete;

    // Starts the test; done runs on the UI thread when it has ended (its box
    // closed), also when it ended before going out. The server settings
    // become the notices' client's at once. A recipient text that cannot be
    // parsed is thrown to the caller and starts nothing; an address holding
    // a control character sends nothing and says so. While a test runs, a
    // further start does nothing and returns false.
    bool start(const MailSettings& settings, std::function<void()> done = {});
    bool running() const { return running_; }

private:
    struct Job;
    struct Outcome;
    // Runs on the test's thread: connects, sends and closes, as the page
    // chose; nothing of the UI thread is touched.
    static Outcome exchange(const Job& job, const TlsLayer& tls, const AbortSwitch& abort);
    void finish(const Outcome& outcome, const std::function<void()>& done);

    Ports p_;
    bool running_ = false;
    std::thread thread_;
    // Posted endings check it: one that arrives after this object is gone
    // does nothing.
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

}  // namespace quindra
