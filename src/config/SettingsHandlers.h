#pragma once

#include <QString>
#include <functional>

#include "config/Registry.h"
#include "core/FormView.h"
#include "core/Runtime.h"
#include "core/ShortCut.h"
#include "mail/MailNotices.h"

namespace quindra {

class SessionAutostart;

// The change handlers of the settings page. Each writes its value the moment
// its control changes, then applies its side effect; a failed write throws
// the store's text and leaves the side effect undone.
class SettingsHandlers {
public:
    struct Targets {
        Registry& registry;
        SettingCopies& settings;  // written here: the drop folder
        MailNotices& mail;        // its options, recipient and the SMTP client's settings
        FormView& view;
        SessionAutostart& autostart;
        // The restore hot-key's combination, active from its next registration.
        std::function<void(ShortCut)> setGlobalHotKey;
    };

    explicit SettingsHandlers(Targets t) : t_(std::move(t)) {}

    // Routes a control's change to its handler.
    void fieldChanged(Field f, const QString& text);
    void boxClicked(Box b, bool checked);

    void edEmpresaChange(const QString& text);
    void edContatoChange(const QString& text);
    void edTelefoneChange(const QString& text);
    void edPathC1Change(const QString& text);

    void cbHideClick(bool checked);
    void cbTipoInicioClick(bool checked);
    void cbSendMailClick(bool checked);
    void cbHardDescClick(bool checked);
    void cbTrocaMsgClick(bool checked);
    void cbAutenticaSeguroClick(bool checked);
    void edSendToChange(const QString& text);
    void edUserSMTPChange(const QString& text);
    void edSenhaSMTPChange(const QString& text);
    void edServerSMTPChange(const QString& text);
    void edPortaSMTPChange(const QString& text);
    void HotKey1Change(ShortCut key);

    void cbIniciaWindowsClick(bool checked);

private:
    // Opens the settings key (without creating it), writes, closes.
    void writeExistingKey(const QString& name, const QString& text);
    // Creates the settings key first when it is missing.
    void writeCreatingKey(const QString& name, const QString& text);
    void writeBool(const QString& name, bool b);

    Targets t_;
};

}  // namespace quindra
