#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "config/Settings.h"
#include "core/ShortCut.h"
#include "mail/MailSettings.h"

namespace quindra {

// What the settings page asks of the program. There is no Save button: each
// change is stored the moment it is made, then takes effect. A failure
// throws with the text the operator is shown.
class SettingsTarget {
public:
    virtual ~SettingsTarget() = default;

    virtual void fieldChanged(Field f, const QString& text) = 0;
    virtual void boxChanged(Box b, bool on) = 0;
    // A combination pressed in the hot-key field.
    virtual void hotKeyChanged(ShortCut key) = 0;
    // The file, or the folder, chosen with the browse button: the drop folder
    // taken for it, or nothing when the operator kept the one there was.
    virtual std::optional<QString> dropFileChosen(const QString& path) = 0;
    // The "Teste" button, with the mail settings as the page shows them. The
    // test runs while the window goes on; done is called once it has ended.
    // False, and done never called, when a test was already running.
    virtual bool sendTestMail(const MailSettings& settings, std::function<void()> done) = 0;
};

}  // namespace quindra
