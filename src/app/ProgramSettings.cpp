#include "app/ProgramSettings.h"

#include "app/DropFolderChooser.h"
#include "config/Autostart.h"
#include "config/Conversions.h"
#include "config/PasswordKeeper.h"
#include "config/RegistryKey.h"
#include "core/Runtime.h"
#include "mail/MailNotices.h"
#include "mail/MailOffice.h"
#include "metrics/LineMetrics.h"
#include "window/GlobalHotKey.h"

namespace quindra {

void ProgramSettings::fieldChanged(Field f, const QString& text) {
    // The notices go where the page says, whether the store took it or not.
    if (f == Field::Recipient)
        p_.mail.setRecipient(text);
    if (f == Field::Sender)
        p_.mail.setSender(text);
    SmtpClientSettings& smtp = p_.mail.smtp();
    if (f == Field::SmtpPassword && p_.passwords && p_.passwords->write(text)) {
        smtp.password = text;
        // The keyring has it; a copy an earlier refusal left in the store
        // goes (a store that cannot be written says so in its own line).
        try {
            store_.write(f, QString());
        } catch (const ConfigError&) {
        }
        return;
    }
    store_.write(f, text);
    switch (f) {
        case Field::DropFolder:
            p_.copies.dropFolder = text;
            break;
        case Field::SmtpUser:
            smtp.user = text;
            break;
        case Field::SmtpPassword:
            smtp.password = text;
            break;
        case Field::SmtpServer:
            smtp.host = text;
            break;
        case Field::SmtpPort:
            // Stored before it is converted: a bad text is kept and reported,
            // and the client keeps its previous port.
            smtp.port = StrToPort(text);
            break;
        case Field::MetricsFile:
            p_.metrics.setPath(text);
            break;
        case Field::Company:
        case Field::Contact:
        case Field::Phone:
        case Field::Recipient:
        case Field::Sender:
            break;
    }
}

void ProgramSettings::boxChanged(Box b, bool on) {
    if (b == Box::StartWithSession && !p_.autostart.set(on))
        throw ConfigError(QStringLiteral("Failed to set data for '%1'").arg(kAutostartValue));
    store_.write(b, on);
    switch (b) {
        case Box::MailEnabled:
            p_.mail.setEnabled(on);
            break;
        case Box::MailOnSwap:
            p_.mail.setOnSwap(on);
            break;
        case Box::MailOnHardware:
            p_.mail.setOnHardware(on);
            break;
        case Box::LevelMessages:
            if (p_.levelMessages)
                p_.levelMessages(on);
            break;
        case Box::SecureMail:
            // The notices keep the choice read at start; the settings test
            // is handed the box as it is.
        case Box::StartWithSession:
        case Box::StartMinimized:
        case Box::StartHidden:
            break;
    }
}

void ProgramSettings::hotKeyChanged(ShortCut key) {
    // Active from the combination's next registration, stored or not.
    p_.hotKey.setKey(key);
    store_.writeHotKey(key);
}

std::optional<QString> ProgramSettings::dropFileChosen(const QString& path) {
    const DropFolderChooser chooser(p_.boxes, p_.files, p_.locale);
    const auto folder = chooser.folderFor(path, p_.copies.dropFolder);
    if (folder && *folder != p_.copies.dropFolder)
        fieldChanged(Field::DropFolder, *folder);
    return folder;
}

bool ProgramSettings::sendTestMail(const MailSettings& settings, std::function<void()> done) {
    // The page hands the port over as a number; one outside the range is
    // refused as its text would be.
    StrToPort(QString::number(settings.server.port));
    return p_.office.sendTestMail(settings, std::move(done));
}

}  // namespace quindra
