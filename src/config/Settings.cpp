#include "config/Settings.h"

#include "config/Conversions.h"
#include "config/RegistryKey.h"

namespace quindra {

namespace {

// Where a value is written: the company lines, the drop folder and the
// autostart flag go only into a settings key that exists (with the trailing
// backslash the start-up uses); the others create the key when it is missing.
struct Row {
    const ConfigValue& value;
    bool createsKey;
};

Row rowOf(Field f) {
    switch (f) {
        case Field::Company:
            return {values::Empresa, false};
        case Field::Contact:
            return {values::Contato, false};
        case Field::Phone:
            return {values::Telefone, false};
        case Field::DropFolder:
            return {values::PathAudio, false};
        case Field::Recipient:
            return {values::SendTo, true};
        case Field::Sender:
            return {values::SendFrom, true};
        case Field::SmtpUser:
            return {values::UserSMTP, true};
        case Field::SmtpPassword:
            return {values::SenhaSMTP, true};
        case Field::SmtpServer:
            return {values::ServerSMTP, true};
        case Field::SmtpPort:
            return {values::PortaSMTP, true};
        case Field::MetricsFile:
            return {values::PathMetricas, true};
    }
    return {values::Empresa, false};
}

Row rowOf(Box b) {
    switch (b) {
        case Box::StartWithSession:
            return {values::IniWin, false};
        case Box::StartMinimized:
            return {values::EstadoJanela, true};
        case Box::StartHidden:
            return {values::HideMode, true};
        case Box::MailEnabled:
            return {values::SendMail, true};
        case Box::MailOnSwap:
            return {values::TrocaMsg, true};
        case Box::MailOnHardware:
            return {values::HardDesc, true};
        case Box::SecureMail:
            return {values::AuthSeguro, true};
        case Box::LevelMessages:
            return {values::NivelaVolume, true};
    }
    return {values::IniWin, false};
}

void writeText(Registry& registry, const Row& row, const QString& text) {
    RegistryKey reg(registry, Root::LocalMachine);
    reg.openKey(row.createsKey ? kConfigKey : kConfigKeySlash, row.createsKey);
    reg.writeString(row.value.written(), text);
}

}  // namespace

void SettingsStore::write(Field f, const QString& text) {
    writeText(registry_, rowOf(f), text);
}

void SettingsStore::write(Box b, bool on) {
    writeText(registry_, rowOf(b), BoolText(on));
}

void SettingsStore::writeHotKey(ShortCut key) {
    RegistryKey reg(registry_, Root::LocalMachine);
    reg.openKey(kConfigKey, true);
    reg.writeInteger(values::HotKey.written(), key);
}

const ConfigValue& SettingsStore::valueOf(Field f) {
    return rowOf(f).value;
}

const ConfigValue& SettingsStore::valueOf(Box b) {
    return rowOf(b).value;
}

}  // namespace quindra
