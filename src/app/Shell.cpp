#include "app/Shell.h"

#include <QDir>
#include <QFileInfo>

#include "app/DropFolderChooser.h"
#include "app/MessageBoxes.h"
#include "config/Conversions.h"
#include "config/RegistryKey.h"
#include "config/Values.h"
#include "ports/WaveControl.h"
#include "status/IdleSource.h"

namespace quindra {

// Start-up reads: a missing value takes the control's initial value without
// a word; a value that is there but unusable is reported (once per text, the
// caller holds a batch) and the initial value is used, so every step runs.
class Shell::StartupReader {
public:
    StartupReader(RegistryKey& reg, ErrorHandler& errors, const LocaleFormats& formats)
        : reg_(reg), errors_(errors), formats_(formats) {}

    RegistryKey& key() { return reg_; }

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

    ShortCut hotKey(const QString& name, ShortCut initial) {
        if (!reg_.valueExists(name))
            return initial;
        try {
            return static_cast<ShortCut>(reg_.readInteger(name));
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

Shell::Shell(ShellPorts ports, ShellWindow& window)
    : ports_(std::move(ports)),
      window_(window),
      errors_(ports_.platform.boxes),
      log_(ports_.platform.loop, ports_.platform.clock, ports_.platform.formats, window.logView(),
           ports_.platform.echo),
      hotKey_(ports_.platform.hotKeys),
      modes_(window, window.tray(), ports_.platform.loop,
             {.shutdown = [this] { SpeedButton3Click(); },
              .hotKeyRegistered = [this] { return hotKey_.registered(); }}),
      mail_(ports_.platform.loop),
      office_(mail_, {.log = log_,
                      .clock = ports_.platform.clock,
                      .formats = ports_.platform.formats,
                      .onAir = state_.onAir,
                      .boxes = ports_.platform.boxes}),
      handlers_({.registry = ports_.platform.registry,
                 .settings = state_.settings,
                 .mail = mail_,
                 .view = window,
                 .autostart = ports_.platform.autostart,
                 .setGlobalHotKey = [this](ShortCut k) { hotKey_.setKey(k); }}),
      rotation_({.loop = ports_.platform.loop,
                 .registry = ports_.platform.registry,
                 .clock = ports_.platform.clock,
                 .formats = ports_.platform.formats,
                 .swap = state_.swap,
                 .onAir = state_.onAir,
                 .state = state_,
                 .player = ports_.audio.player,
                 .log = log_,
                 .paths = ports_.platform.paths,
                 .files = ports_.rotation.files,
                 .probe = ports_.rotation.probe,
                 .onAirChanged = [this] { showOnAir(); }},
                [this] { mail_.messageSwapped(); }),
      channel_(ports_.audio, state_.channel, state_, log_, ports_.platform.loop,
               [&window](WaveControl* c) { window.setViewsSource(c); }),
      scan_(ports_.audio.lister, state_.scan, log_, channel_.startTimer()),
      presence_({.devices = ports_.hardware.devices,
                 .loop = ports_.platform.loop,
                 .state = state_,
                 .log = log_,
                 .startTimer = channel_.startTimer(),
                 .player = ports_.audio.player,
                 .monitor = ports_.audio.monitor,
                 .alert = window.alert(),
                 .channelUnplugged = [this] { channel_.hardwareUnplugged(); },
                 .unplugged = [this] { mail_.hardwareDisconnected(); },
                 .pluggedBack = [this] { mail_.hardwareReconnected(); }}),
      statusPanel_(ports_.status.sysInfo, window.statusView(), ports_.platform.formats,
                   state_.settings),
      cpuGauge_(ports_.status.sysInfo, window.statusView(), ports_.platform.loop) {
    hotKey_.onPress = [this] { modes_.hotKeyPressed(); };
    ports_.platform.loop.setUncaughtHandler([this](const std::exception& e) { errors_.report(e); });
}

Shell::~Shell() {
    if (!destroyed_)
        FormDestroy();
    ports_.platform.loop.setUncaughtHandler(nullptr);
}

void Shell::onFieldChanged(Field f, const QString& text) {
    errors_.guard([&] { handlers_.fieldChanged(f, text); });
}

void Shell::onBoxClicked(Box b, bool checked) {
    errors_.guard([&] { handlers_.boxClicked(b, checked); });
}

void Shell::onHotKeyChanged(ShortCut key) {
    errors_.guard([&] { handlers_.HotKey1Change(key); });
}

void Shell::onDropFileChosen(const QString& file) {
    errors_.guard([&] {
        const DropFolderChooser chooser(ports_.platform.boxes, ports_.rotation.files,
                                        ports_.platform.formats.locale());
        if (const auto folder = chooser.folderFor(file, state_.settings.dropFolder))
            window_.setFieldText(Field::edPathC1, *folder);
    });
}

void Shell::sendTestMail() {
    errors_.guard([this] {
        MailSettings settings;
        settings.recipient = window_.fieldText(Field::edSendTo);
        settings.server.host = window_.fieldText(Field::edServerSMTP);
        settings.server.port = StrToInt(window_.fieldText(Field::edPortaSMTP));
        settings.server.user = window_.fieldText(Field::edUserSMTP);
        settings.server.password = window_.fieldText(Field::edSenhaSMTP);
        settings.secure = window_.checked(Box::cbAutenticaSeguro);
        office_.sendTestMail(settings);
    });
}

void Shell::FormCreate() {
    ErrorHandler::Batch once(errors_);

    RegistryKey reg(ports_.platform.registry, Root::LocalMachine);
    // A first start finds no settings key; it is created here so that the
    // defaults below can be stored. If the store refuses, the writes say so.
    reg.openKey(kConfigKeySlash, true);
    StartupReader read(reg, errors_, ports_.platform.formats);

    loadDropFolder(read);
    errors_.guard([this] { rotation_.findMessageOnAir(); });
    loadSettingsPage(read);
    loadMailOptions(read);

    const bool startHidden = read.boolean(values::HideMode.runtime());
    const bool startMinimized = read.boolean(values::EstadoJanela.runtime());
    // Shown in the field without running its handler: a start never
    // rewrites "HotKey".
    const ShortCut key = read.hotKey(values::HotKey.runtime(), window_.hotKey());
    window_.setHotKey(key);
    hotKey_.setKey(key);
    hotKey_.setEnabled(true);
    reg.closeKey();
    if (!hotKey_.registered() && ports_.platform.hotKeys.available())
        log_.write(QStringLiteral("A tecla de atalho %1 não pôde ser registrada (está em uso por "
                                  "outro programa?); escolha outra em \"Teclas de Atalho\".")
                       .arg(ShortCutText(key)));

    statusPanel_.showSystem();
    ports_.status.idle.setIdleHandler([this] { statusPanel_.refresh(); });

    presence_.startUsbWatch();
    rotation_.transaction().resetFlags();
    modes_.applyStartMode(startHidden, startMinimized);
    log_.clearTimer().setEnabled(true);

    // Last: look for the hold hardware; when it is there the channel opens
    // and the message starts a few seconds later.
    errors_.guard([this] { scan_.scan(); });
}

// The drop folder. A file stored by the browse button of earlier versions
// means its folder; a text that names nothing (empty, a deleted folder, a
// value that is not text) gives the default. Without a home folder there is
// no default, and nothing is made at the file system's root.
void Shell::loadDropFolder(StartupReader& read) {
    const auto stored = read.key().value(values::PathAudio.control());
    QString path = stored && stored->kind == RegValue::Kind::String ? stored->text : QString();
    const QString& fallback = ports_.platform.paths.defaultDropFolder;
    const QFileInfo named(path);
    if (!path.isEmpty() && named.isFile() && named.dir().exists()) {
        path = named.absolutePath();
        errors_.guard([&] { read.key().writeString(values::PathAudio.written(), path); });
    } else if ((path.isEmpty() || !named.isDir()) && !fallback.isEmpty()) {
        path = fallback;
        QDir().mkdir(path);
        errors_.guard([&] { read.key().writeString(values::PathAudio.written(), path); });
    }
    state_.settings.dropFolder = path;
}

// Filling a control runs its change handler, as a user's edit would.
void Shell::loadSettingsPage(StartupReader& read) {
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

    MessageHistory& history = state_.onAir.history;
    history.previousFile = read.text(values::ArquivoAnterior.control());
    history.since = read.text(values::DataAtual.control());
    history.previousSince = read.text(values::DataAnteriorEntra.control());
    history.previousUntil = read.text(values::DataAnteriorSai.control());
    showOnAir();

    window_.setChecked(Box::cbHide, read.boolean(values::HideMode.control()));
    window_.setChecked(Box::cbIniciaWindows, read.boolean(values::IniWin.control()));
    window_.setChecked(Box::cbTipoInicio, read.boolean(values::EstadoJanela.control()));
    window_.setChecked(Box::cbSendMail, read.boolean(values::SendMail.control()));
    window_.setChecked(Box::cbTrocaMsg, read.boolean(values::TrocaMsg.control()));
    window_.setChecked(Box::cbHardDesc, read.boolean(values::HardDesc.control()));
    window_.setChecked(Box::cbAutenticaSeguro, read.boolean(values::AuthSeguro.control()));

    window_.setFieldText(Field::edSendTo, read.text(values::SendTo.control()));
    window_.setFieldText(Field::edUserSMTP, read.text(values::UserSMTP.control()));
    window_.setFieldText(Field::edSenhaSMTP, read.text(values::SenhaSMTP.control()));
    window_.setFieldText(Field::edServerSMTP, read.text(values::ServerSMTP.control()));
    window_.setFieldText(Field::edPortaSMTP, read.text(values::PortaSMTP.control()));
}

// The notice options and the SMTP client, as stored.
void Shell::loadMailOptions(StartupReader& read) {
    mail_.setEnabled(read.boolean(values::SendMail.runtime()));
    mail_.setOnSwap(read.boolean(values::TrocaMsg.runtime()));
    mail_.setOnHardware(read.boolean(values::HardDesc.runtime()));
    mail_.setSecure(read.boolean(values::AuthSeguro.runtime()));

    SmtpClientSettings& smtp = mail_.smtp();
    smtp.host = read.text(values::ServerSMTP.runtime());
    smtp.auth = SmtpClientSettings::Auth::Login;
    smtp.port = read.port(values::PortaSMTP.runtime(), smtp.port);
    smtp.user = read.text(values::UserSMTP.runtime());
    smtp.password = read.text(values::SenhaSMTP.runtime());
}

// The main page's labels: the message on air and the history of the change.
void Shell::showOnAir() {
    const MessageOnAir& onAir = state_.onAir;
    window_.setLabel(Label::lbArquivo, QFileInfo(onAir.file).fileName());
    window_.setLabel(Label::lbArquivoAnterior, onAir.history.previousFile);
    window_.setLabel(Label::lbDataHoraAtual, onAir.history.since);
    window_.setLabel(Label::lbDataHoraAnterior, onAir.history.previousSince);
    window_.setLabel(Label::lbDataHoraAnteriroSai, onAir.history.previousUntil);
}

void Shell::SpeedButton3Click() {
    if (!ports_.platform.boxes.confirm(QStringLiteral("Confirmação"),
                                       QStringLiteral("Deseja realmente finalizar o sistema?")))
        return;
    rotation_.stopForShutdown();
    ports_.platform.loop.quit();
}

bool Shell::FormCloseQuery() {
    rotation_.stopForShutdown();
    return true;
}

void Shell::FormDestroy() {
    if (destroyed_)
        return;
    destroyed_ = true;
    log_.clearTimer().setEnabled(false);
    ports_.status.idle.setIdleHandler(nullptr);
    cpuGauge_.stop();
    hotKey_.setEnabled(false);
    modes_.disableTray();
    bool stopped = false;
    errors_.guard([&] {
        if (ports_.audio.player.playing()) {
            ports_.audio.player.stop();
            stopped = true;
        }
    });
    presence_.stopUsbWatch();
    // The journal keeps the end of the run, and says when it silenced the line.
    log_.write(stopped ? QStringLiteral("Sistema finalizado: a mensagem de espera saiu do ar.")
                       : QStringLiteral("Sistema finalizado."));
}

}  // namespace quindra
