#pragma once

#include <QLocale>
#include <functional>

#include "config/Settings.h"
#include "window/SettingsTarget.h"

namespace quindra {

class FileOperations;
class GlobalHotKey;
class LineMetrics;
class MailNotices;
class MailOffice;
class MessageBoxes;
class PasswordKeeper;
class Registry;
class SessionAutostart;
struct SettingCopies;

// The program's side of the settings page: each change is stored, then
// applied to whatever it sets; a store that refuses throws its text and the
// change is not applied (the recipient excepted: the notices go where the
// page says).
class ProgramSettings final : public SettingsTarget {
public:
    struct Ports {
        Registry& registry;
        SettingCopies& copies;  // written here: the drop folder
        MailNotices& mail;      // its options, recipient and server
        MailOffice& office;     // the settings test
        SessionAutostart& autostart;
        GlobalHotKey& hotKey;
        // What the drop-folder chooser asks and looks at.
        MessageBoxes& boxes;
        const FileOperations& files;
        QLocale locale;
        LineMetrics& metrics;  // its file's path
        // The desktop's keyring for the SMTP password; none: the store.
        PasswordKeeper* passwords = nullptr;
        // Every message at one loudness, or each as it is; may be empty.
        std::function<void(bool)> levelMessages = nullptr;
    };

    explicit ProgramSettings(Ports ports) : p_(std::move(ports)), store_(p_.registry) {}

    void fieldChanged(Field f, const QString& text) override;
    void boxChanged(Box b, bool on) override;
    void hotKeyChanged(ShortCut key) override;
    std::optional<QString> dropFileChosen(const QString& path) override;
    bool sendTestMail(const MailSettings& settings, std::function<void()> done) override;

private:
    Ports p_;
    SettingsStore store_;
};

}  // namespace quindra
