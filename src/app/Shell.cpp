#include "app/Shell.h"

#include <QDir>
#include <QFileInfo>

#include "app/MessageBoxes.h"
#include "audio/WaveControl.h"
#include "config/Conversions.h"
#include "config/RegistryKey.h"
#include "config/Values.h"
#include "rotation/FolderListing.h"

namespace quindra {

namespace {

// Start-up reads: a missing value takes the control's initial value without
// a word; a value that is there but unusable is reported (once per text, the
// caller holds a batch) and the initial value is used, so every step runs.
class StartupReader {
public:
    StartupReader(RegistryKey& reg, ErrorHandler& errors, const LocaleFormats& formats)
        : reg_(reg), errors_(errors), formats_(formats) {}

    QString text(const QString& name) {
        try {
            return reg_.readString(name);
        } catch (const ConfigError& e) {
            errors_.report(e);
            return {};
        }
    }

    bool boolean(const QString& name) {
        if (!reg_.valueExists(name))
            return false;
        try {
            return ReadBoolSetting(reg_, name, formats_);
        } catch (const ConfigError& e) {
            errors_.report(e);
            return false;
        }
    }

    int port(const QString& name, int initial) {
        if (!reg_.valueExists(name))
            return initial;
        try {
            return StrToInt(reg_.readString(name));
        } catch (const ConfigError& e) {
            errors_.report(e);
            return initial;
        }
    }

    TShortCut hotKey(const QString& name, TShortCut initial) {
        if (!reg_.valueExists(name))
            return initial;
        try {
            return static_cast<TShortCut>(reg_.readInteger(name));
        } catch (const ConfigError& e) {
            errors_.report(e);
            return initial;
        }
    }

private:
    RegistryKey& reg_;
    ErrorHandler& errors_;
    const LocaleFormats& formats_;
};

}  // namespace

Shell::Shell(ShellPorts ports, ShellWindow& window)
    : ports_(std::move(ports)),
      window_(window),
      errors_(ports_.boxes),
      log_(ports_.loop, ports_.clock, ports_.formats, window.logView(), ports_.echo),
      hotKey_(ports_.hotKeys),
      handlers_({ports_.registry, state_, smtp_, window, ports_.autostart, ports_.paths,
                 [this](TShortCut k) { hotKey_.setKey(k); }}),
      // The swap notice comes with the mail notices; until then tTrocaMsg
      // fires and does nothing.
      rotation_({ports_.loop, ports_.registry, ports_.clock, ports_.formats, state_, ports_.PlayC1,
                 log_, window, ports_.paths, ports_.files, ports_.probe},
                nullptr),
      channel_({ports_.PlayC1, ports_.wCanal1, ports_.WaveControl1}, state_, log_, ports_.loop,
               [&window](WaveControl* c) { window.setViewsSource(c); }),
      scan_(ports_.WaveControl1, state_, log_, ports_.loop, channel_.tHid()) {
    ports_.loop.setUncaughtHandler([this](const std::exception& e) { errors_.report(e); });
}

Shell::~Shell() {
    if (!destroyed_)
        FormDestroy();
    ports_.loop.setUncaughtHandler(nullptr);
}

void Shell::onFieldChanged(Field f, const QString& text) {
    errors_.guard([&] { handlers_.fieldChanged(f, text); });
}

void Shell::onBoxClicked(Box b, bool checked) {
    errors_.guard([&] { handlers_.boxClicked(b, checked); });
}

void Shell::onHotKeyChanged(TShortCut key) {
    errors_.guard([&] { handlers_.HotKey1Change(key); });
}

void Shell::FormCreate() {
    ErrorHandler::Batch once(errors_);
    auto& s = state_;

    s.WindowsGeneration = kLinuxWindowsGeneration;
    s.HardwareFound = false;

    RegistryKey reg(ports_.registry, Root::LocalMachine);
    // A first start finds no settings key; it is created here so that the
    // defaults below can be stored. If the store refuses, the writes say so.
    reg.openKey(kConfigKeySlash, true);
    StartupReader read(reg, errors_, ports_.formats);

    // The drop folder: a stored text that names no existing folder (empty, a
    // file chosen with the browse button, a deleted folder) gives the default.
    s.PathAudio = read.text(values::PathAudio.control());
    if (s.PathAudio.isEmpty() || !QFileInfo(s.PathAudio).isDir()) {
        s.PathAudio = ports_.paths.defaultDropFolder;
        QDir().mkdir(s.PathAudio);
        errors_.guard([&] { reg.writeString(values::PathAudio.written(), s.PathAudio); });
    }

    // The message on air is the first file of the message folder. The folder
    // is the program's own; a fresh installation gets it here.
    const QString messageFolder = ports_.paths.messageFolder();
    if (!QFileInfo(messageFolder).isDir())
        QDir().mkpath(messageFolder);
    errors_.guard([&] { s.CurrentAudioFile = FirstFilePath(messageFolder); });
    // The watch lists the drop folder from now on.
    rotation_.pointListingAt(s.PathAudio);
    window_.setLabel(Label::lbArquivo, QFileInfo(s.CurrentAudioFile).fileName());

    const QString contato = read.text(values::Contato.control());
    window_.setFieldText(Field::edContato, contato);
    window_.setLabel(Label::lbContato, contato);
    const QString empresa = read.text(values::Empresa.control());
    window_.setLabel(Label::lbEmpresa, empresa);
    window_.setFieldText(Field::edEmpresa, empresa);
    const QString telefone = read.text(values::Telefone.control());
    window_.setLabel(Label::lbTelefone, telefone);
    window_.setFieldText(Field::edTelefone, telefone);

    // Read again: shows the default when it was just applied.
    window_.setFieldText(Field::edPathC1, read.text(values::PathAudio.control()));

    window_.setLabel(Label::lbArquivoAnterior, read.text(values::ArquivoAnterior.control()));
    window_.setLabel(Label::lbDataHoraAtual, read.text(values::DataAtual.control()));
    window_.setLabel(Label::lbDataHoraAnterior, read.text(values::DataAnteriorEntra.control()));
    window_.setLabel(Label::lbDataHoraAnteriroSai, read.text(values::DataAnteriorSai.control()));

    window_.setChecked(Box::cbHide, read.boolean(values::HideMode.control()));
    window_.setChecked(Box::cbIniciaWindows, read.boolean(values::IniWin.control()));
    window_.setChecked(Box::cbTipoInicio, read.boolean(values::EstadoJanela.control()));
    window_.setChecked(Box::cbSendMail, read.boolean(values::SendMail.control()));
    s.SendMailFlag = read.boolean(values::SendMail.runtime());
    window_.setChecked(Box::cbTrocaMsg, read.boolean(values::TrocaMsg.control()));
    s.TrocaMsgFlag = read.boolean(values::TrocaMsg.runtime());
    window_.setChecked(Box::cbHardDesc, read.boolean(values::HardDesc.control()));
    s.HardDescFlag = read.boolean(values::HardDesc.runtime());
    window_.setChecked(Box::cbAutenticaSeguro, read.boolean(values::AuthSeguro.control()));
    s.AuthSeguroFlag = read.boolean(values::AuthSeguro.runtime());

    window_.setFieldText(Field::edSendTo, read.text(values::SendTo.control()));
    window_.setFieldText(Field::edUserSMTP, read.text(values::UserSMTP.control()));
    window_.setFieldText(Field::edSenhaSMTP, read.text(values::SenhaSMTP.control()));
    window_.setFieldText(Field::edServerSMTP, read.text(values::ServerSMTP.control()));
    window_.setFieldText(Field::edPortaSMTP, read.text(values::PortaSMTP.control()));

    smtp_.host = read.text(values::ServerSMTP.runtime());
    smtp_.auth = SmtpClientSettings::Auth::Login;
    smtp_.port = read.port(values::PortaSMTP.runtime(), smtp_.port);
    smtp_.user = read.text(values::UserSMTP.runtime());
    smtp_.password = read.text(values::SenhaSMTP.runtime());

    s.HideModeFlag = read.boolean(values::HideMode.runtime());
    s.EstadoJanelaFlag = read.boolean(values::EstadoJanela.runtime());
    const TShortCut key = read.hotKey(values::HotKey.runtime(), window_.hotKey());
    window_.setHotKey(key);
    hotKey_.setKey(key);
    hotKey_.setEnabled(true);
    reg.closeKey();

    s.ReplaySuspended = false;
    s.SwapPauseActive = true;

    applyStartMode();

    log_.tLimpaMemo().setEnabled(true);

    // Last: look for the hold hardware; when it is there the channel opens
    // and the message starts a few seconds later.
    errors_.guard([this] { scan_.ScanForHoldHardware(); });
}

void Shell::applyStartMode() {
    window_.setMinimizeToTray(true);
    window_.setTrayIconVisible(true);
    if (state_.HideModeFlag) {
        window_.setTrayIconVisible(false);
        showOnRun_ = false;
    } else {
        showOnRun_ = !state_.EstadoJanelaFlag;
    }
}

void Shell::SpeedButton3Click() {
    if (!ports_.boxes.confirm(QStringLiteral("Confirmação"),
                              QStringLiteral("Deseja realmente finalizar o sistema?")))
        return;
    state_.ReplaySuspended = true;
    rotation_.tVerificaArquivo().setEnabled(false);
    ports_.loop.quit();
}

bool Shell::FormCloseQuery() {
    state_.ReplaySuspended = true;
    rotation_.tVerificaArquivo().setEnabled(false);
    return true;
}

void Shell::FormDestroy() {
    if (destroyed_)
        return;
    destroyed_ = true;
    log_.tLimpaMemo().setEnabled(false);
    hotKey_.setEnabled(false);
    window_.setTrayEnabled(false);
    errors_.guard([this] {
        if (ports_.PlayC1.Playing())
            ports_.PlayC1.StopPlay();
    });
}

}  // namespace quindra
