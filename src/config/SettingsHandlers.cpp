#include "config/SettingsHandlers.h"

#include "config/Autostart.h"
#include "config/Conversions.h"
#include "config/RegistryKey.h"
#include "config/Values.h"

namespace quindra {

void SettingsHandlers::writeExistingKey(const QString& name, const QString& text) {
    RegistryKey reg(t_.registry, Root::LocalMachine);
    reg.openKey(kConfigKeySlash, false);
    reg.writeString(name, text);
}

void SettingsHandlers::writeCreatingKey(const QString& name, const QString& text) {
    RegistryKey reg(t_.registry, Root::LocalMachine);
    reg.openKey(kConfigKey, true);
    reg.writeString(name, text);
}

void SettingsHandlers::writeBool(const QString& name, bool b) {
    writeCreatingKey(name, BoolText(b));
}

void SettingsHandlers::fieldChanged(Field f, const QString& text) {
    switch (f) {
        case Field::edEmpresa:
            return edEmpresaChange(text);
        case Field::edContato:
            return edContatoChange(text);
        case Field::edTelefone:
            return edTelefoneChange(text);
        case Field::edPathC1:
            return edPathC1Change(text);
        case Field::edSendTo:
            return edSendToChange(text);
        case Field::edUserSMTP:
            return edUserSMTPChange(text);
        case Field::edSenhaSMTP:
            return edSenhaSMTPChange(text);
        case Field::edServerSMTP:
            return edServerSMTPChange(text);
        case Field::edPortaSMTP:
            return edPortaSMTPChange(text);
    }
}

void SettingsHandlers::boxClicked(Box b, bool checked) {
    switch (b) {
        case Box::cbHide:
            return cbHideClick(checked);
        case Box::cbIniciaWindows:
            return cbIniciaWindowsClick(checked);
        case Box::cbTipoInicio:
            return cbTipoInicioClick(checked);
        case Box::cbSendMail:
            return cbSendMailClick(checked);
        case Box::cbTrocaMsg:
            return cbTrocaMsgClick(checked);
        case Box::cbHardDesc:
            return cbHardDescClick(checked);
        case Box::cbAutenticaSeguro:
            return cbAutenticaSeguroClick(checked);
    }
}

void SettingsHandlers::edEmpresaChange(const QString& text) {
    writeExistingKey(values::Empresa.written(), text);
    t_.view.setLabel(Label::lbEmpresa, text);
}

void SettingsHandlers::edContatoChange(const QString& text) {
    writeExistingKey(values::Contato.written(), text);
    t_.view.setLabel(Label::lbContato, text);
}

void SettingsHandlers::edTelefoneChange(const QString& text) {
    writeExistingKey(values::Telefone.written(), text);
    t_.view.setLabel(Label::lbTelefone, text);
}

void SettingsHandlers::edPathC1Change(const QString& text) {
    writeExistingKey(values::PathAudio.written(), text);
    t_.settings.dropFolder = text;
}

void SettingsHandlers::cbHideClick(bool checked) {
    writeBool(values::HideMode.written(), checked);
}

void SettingsHandlers::cbTipoInicioClick(bool checked) {
    writeBool(values::EstadoJanela.written(), checked);
}

void SettingsHandlers::cbSendMailClick(bool checked) {
    writeBool(values::SendMail.written(), checked);
    t_.mail.setEnabled(checked);
}

void SettingsHandlers::cbHardDescClick(bool checked) {
    writeBool(values::HardDesc.written(), checked);
    t_.mail.setOnHardware(checked);
}

void SettingsHandlers::cbTrocaMsgClick(bool checked) {
    writeBool(values::TrocaMsg.written(), checked);
    t_.mail.setOnSwap(checked);
}

void SettingsHandlers::cbAutenticaSeguroClick(bool checked) {
    // The notices keep the choice read at start; the settings test reads the box.
    writeBool(values::AuthSeguro.written(), checked);
}

void SettingsHandlers::edSendToChange(const QString& text) {
    // The notices go where the page says, whether the store took it or not.
    t_.mail.setRecipient(text);
    writeCreatingKey(values::SendTo.written(), text);
}

void SettingsHandlers::edUserSMTPChange(const QString& text) {
    writeCreatingKey(values::UserSMTP.written(), text);
    t_.mail.smtp().user = text;
}

void SettingsHandlers::edSenhaSMTPChange(const QString& text) {
    writeCreatingKey(values::SenhaSMTP.written(), text);
    t_.mail.smtp().password = text;
}

void SettingsHandlers::edServerSMTPChange(const QString& text) {
    writeCreatingKey(values::ServerSMTP.written(), text);
    t_.mail.smtp().host = text;
}

void SettingsHandlers::edPortaSMTPChange(const QString& text) {
    // Stored before it is converted: a bad text is kept and reported, and the
    // client keeps its previous port.
    writeCreatingKey(values::PortaSMTP.written(), text);
    t_.mail.smtp().port = StrToInt(text);
}

void SettingsHandlers::HotKey1Change(ShortCut key) {
    if (t_.setGlobalHotKey)
        t_.setGlobalHotKey(key);
    RegistryKey reg(t_.registry, Root::LocalMachine);
    reg.openKey(kConfigKey, true);
    reg.writeInteger(values::HotKey.written(), key);
}

void SettingsHandlers::cbIniciaWindowsClick(bool checked) {
    if (!t_.autostart.set(checked))
        throw ConfigError(QStringLiteral("Failed to set data for '%1'").arg(kAutostartValue));
    writeExistingKey(values::IniWin.written(), BoolText(checked));
}

}  // namespace quindra
