#include "app/Shell.h"

#include <QDir>
#include <QFileInfo>

#include "app/ManualOpener.h"
#include "config/Conversions.h"
#include "config/PasswordKeeper.h"
#include "config/RegistryKey.h"
#include "config/Values.h"
#include "ports/WaveControl.h"
#include "status/IdleSource.h"
#include "window/MessageBoxes.h"

namespace quindra {

// Start-up reads: a missing value takes the page's initial value without a
// word; a value that is there but unusable is reported (once per text, the
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
            return StrToPort(reg_.readString(name));
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

Shell::Shell(ShellPorts ports, ProgramWindow& window)
    : ports_(std::move(ports)),
      window_(window),
      errors_(ports_.platform.boxes),
      log_(ports_.platform.loop, ports_.platform.clock, ports_.platform.formats, window.logView(),
           ports_.platform.echo),
      hotKey_(ports_.platform.hotKeys),
      modes_(window, window.tray(), ports_.platform.loop,
             {.shutdown = [this] { confirmShutdown(); },
              .hotKeyRegistered = [this] { return hotKey_.registered(); },
              .manual = [this] { openManual(); }}),
      mail_(ports_.platform.loop),
      office_(mail_, {.log = log_,
                      .clock = ports_.platform.clock,
                      .formats = ports_.platform.formats,
                      .onAir = state_.onAir,
                      .boxes = ports_.platform.boxes}),
      metrics_(ports_.platform.loop, ports_.platform.clock, log_),
      settings_({.registry = ports_.platform.registry,
                 .copies = state_.settings,
                 .mail = mail_,
                 .office = office_,
                 .autostart = ports_.platform.autostart,
                 .hotKey = hotKey_,
                 .boxes = ports_.platform.boxes,
                 .files = ports_.rotation.files,
                 .locale = ports_.platform.formats.locale(),
                 .metrics = metrics_,
                 .passwords = ports_.platform.passwords,
                 .levelMessages = [this](bool on) { ports_.audio.player.setLevelling(on); }}),
      sound_(ports_.rotation.measure
                 ? std::make_unique<loudness::MessageSoundCheck>(
                       loudness::MessageSoundCheck::Ports{.loop = ports_.platform.loop,
                                                          .log = log_,
                                                          .player = ports_.audio.player,
                                                          .onAir = state_.onAir,
                                                          .measure = ports_.rotation.measure})
                 : nullptr),
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
                 .onAirChanged =
                     [this] {
                         window_.showOnAir(state_.onAir);
                         messageChanged();
                     },
                 .onSwapPause = [this](bool on) { line_.swapPause(on); },
                 .messageSeen =
                     [this](const DroppedFile& file) {
                         if (sound_)
                             sound_->dropped(file.path, {.size = file.stamp.size,
                                                         .modifiedNs = file.stamp.modifiedNs,
                                                         .changedNs = file.stamp.changedNs,
                                                         .inode = file.stamp.inode});
                     },
                 .watch = ports_.rotation.watch},
                [this] {
                    metrics_.swapped();
                    if (sound_)
                        sound_->swapped();
                    mail_.messageSwapped();
                }),
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
                 .channelUnplugged =
                     [this] {
                         // The cause first, so that nobody hears of an
                         // opening in between.
                         line_.hardwarePresent(false);
                         channel_.hardwareUnplugged();
                     },
                 .unplugged = [this] { mail_.hardwareDisconnected(); },
                 .pluggedBack =
                     [this] {
                         line_.hardwarePresent(true);
                         mail_.hardwareReconnected();
                     }}),
      statusPanel_(ports_.status.sysInfo, window.statusView(), ports_.platform.formats,
                   state_.settings),
      cpuGauge_(ports_.status.sysInfo, window.statusView(), ports_.platform.loop) {
    hotKey_.onPress = [this] { modes_.hotKeyPressed(); };
    channel_.reportTo(line_);
    line_.onChange([this](const LineState& line) { window_.showLine(line); });
    line_.onChange([this](const LineState& line) { feedMetrics(line); });
    window_.showLine(line_.state());
    feedMetrics(line_.state());
    ports_.platform.loop.setUncaughtHandler([this](const std::exception& e) { errors_.report(e); });
}

Shell::~Shell() {
    finish();
    ports_.platform.loop.setUncaughtHandler(nullptr);
}

void Shell::start(const QString& lineTaken) {
    ErrorHandler::Batch once(errors_);

    RegistryKey reg(ports_.platform.registry, Root::LocalMachine);
    // A first start finds no settings key; it is created here so that the
    // defaults below can be stored. If the store refuses, the writes say so.
    reg.openKey(kConfigKeySlash, true);
    StartupReader read(reg, errors_, ports_.platform.formats);

    loadDropFolder(read);
    errors_.guard([this] { rotation_.findMessageOnAir(); });
    if (sound_)
        sound_->startedWith(state_.onAir.file);
    const QString password = settlePassword(read);
    PageSettings page = loadSettingsPage(read, password);
    loadMailOptions(read, password);

    const bool startHidden = read.boolean(values::HideMode.runtime());
    const bool startMinimized = read.boolean(values::EstadoJanela.runtime());
    // Shown, not taken as a change: a start never rewrites "HotKey".
    page.hotKey = read.hotKey(values::HotKey.runtime(), kDefaultHotKey);
    window_.showSettings(page);
    const ShortCut key = page.hotKey;
    hotKey_.setKey(key);
    hotKey_.setEnabled(true);
    reg.closeKey();
    if (!hotKey_.registered() && ports_.platform.hotKeys.available())
        log_.write(QStringLiteral("A tecla de atalho %1 não pôde ser registrada (está em uso por "
                                  "outro programa?); escolha outra em \"Teclas de Atalho\".")
                       .arg(ShortCutText(key)));

    statusPanel_.showSystem();
    ports_.status.idle.setIdleHandler([this] { statusPanel_.refresh(); });

    // Off the line, nothing may arm the channel's start timer: no look for
    // the hardware, no watch for its USB arrival, and the channel kept as
    // after an unplug, so that its devices showing up in the sound server
    // open nothing either.
    const bool onLine = lineTaken.isEmpty();
    if (onLine)
        presence_.startUsbWatch();
    rotation_.transaction().resetFlags();
    modes_.applyStartMode(startHidden, startMinimized);
    log_.clearTimer().setEnabled(true);

    if (!onLine) {
        channel_.hardwareUnplugged();
        line_.lineTaken();
        log_.write(lineTaken);
        return;
    }
    // Last: look for the hold hardware; when it is there the channel opens
    // and the message starts a few seconds later.
    errors_.guard([this] {
        try {
            scan_.scan();
        } catch (const WaveError&) {
            line_.soundServer(false);
            throw;
        }
        line_.hardwarePresent(state_.scan.hardwareFound);
    });
}

void Shell::messageChanged() {
    const QString& file = state_.onAir.file;
    std::optional<qint64> length;
    if (!file.isEmpty() && ports_.messageLength)
        length = ports_.messageLength(file);
    line_.messageChanged(file, length);
}

// The drop folder. A file stored by the browse button of earlier versions
// means its folder; no text (empty, a value that is not text) gives the
// default. A folder that is missing is kept, stored and in use: it may be a
// share that is mounted later, and the watch serves from the default folder
// meanwhile. Without a home folder there is no default, and nothing is made
// at the file system's root.
void Shell::loadDropFolder(StartupReader& read) {
    const auto stored = read.key().value(values::PathAudio.page());
    QString path = stored && stored->kind == RegValue::Kind::String ? stored->text : QString();
    const QString& fallback = ports_.platform.paths.defaultDropFolder;
    const QFileInfo named(path);
    if (!path.isEmpty() && named.isFile() && named.dir().exists()) {
        path = named.absolutePath();
        errors_.guard([&] { read.key().writeString(values::PathAudio.written(), path); });
    } else if (path.isEmpty() && !fallback.isEmpty()) {
        path = fallback;
        QDir().mkdir(path);
        errors_.guard([&] { read.key().writeString(values::PathAudio.written(), path); });
    }
    state_.settings.dropFolder = path;
}

// Each value the page shows other than empty or unticked is taken as a
// change, as if typed: it is stored back and applied, and a failure is
// reported while the others go on.
PageSettings Shell::loadSettingsPage(StartupReader& read, const QString& password) {
    PageSettings page;
    const auto field = [&](Field f) {
        const QString text =
            f == Field::SmtpPassword ? password : read.text(SettingsStore::valueOf(f).page());
        page.fields.insert(f, text);
        if (!text.isEmpty())
            errors_.guard([&] { settings_.fieldChanged(f, text); });
    };
    const auto box = [&](Box b) {
        const bool on = read.boolean(SettingsStore::valueOf(b).page());
        page.boxes.insert(b, on);
        if (on)
            errors_.guard([&] { settings_.boxChanged(b, true); });
    };

    field(Field::Contact);
    field(Field::Company);
    field(Field::Phone);
    // Read after the drop folder was settled: shows the default when it was
    // just applied.
    field(Field::DropFolder);

    MessageHistory& history = state_.onAir.history;
    history.previousFile = read.text(values::ArquivoAnterior.page());
    history.since = read.text(values::DataAtual.page());
    history.previousSince = read.text(values::DataAnteriorEntra.page());
    history.previousUntil = read.text(values::DataAnteriorSai.page());
    window_.showOnAir(state_.onAir);

    for (Box b : {Box::StartHidden, Box::StartWithSession, Box::StartMinimized, Box::MailEnabled,
                  Box::MailOnSwap, Box::MailOnHardware, Box::SecureMail, Box::LevelMessages})
        box(b);
    for (Field f : {Field::Recipient, Field::Sender, Field::SmtpUser, Field::SmtpPassword,
                    Field::SmtpServer, Field::SmtpPort})
        field(f);
    field(Field::MetricsFile);
    return page;
}

// The SMTP password lives in the desktop's keyring when it answers; one left
// in the store by an earlier start is moved there and taken out of the
// store. Without a keyring the store keeps it, readable by its user only, and
// a line says where it is.
QString Shell::settlePassword(StartupReader& read) {
    const QString stored = read.text(values::SenhaSMTP.page());
    PasswordKeeper* keeper = ports_.platform.passwords;
    const std::optional<QString> kept = keeper ? keeper->read() : std::nullopt;
    const auto inStore = [&](const QString& why) {
        if (!stored.isEmpty())
            log_.write(QStringLiteral("A senha SMTP fica no arquivo de configurações, legível só "
                                      "por este usuário: %1.")
                           .arg(why));
        return stored;
    };
    if (!kept)
        return inStore(QStringLiteral("o chaveiro da sessão (Secret Service) não responde"));
    if (stored.isEmpty())
        return *kept;
    if (!keeper->write(stored))
        return inStore(QStringLiteral("o chaveiro da sessão (Secret Service) não a aceitou"));
    errors_.guard([&] { read.key().writeString(values::SenhaSMTP.written(), QString()); });
    log_.write(
        QStringLiteral("A senha SMTP foi movida do arquivo de configurações para o "
                       "chaveiro da sessão (Secret Service)."));
    return stored;
}

// The notice options and the SMTP client, as stored.
void Shell::loadMailOptions(StartupReader& read, const QString& password) {
    mail_.setEnabled(read.boolean(values::SendMail.runtime()));
    mail_.setOnSwap(read.boolean(values::TrocaMsg.runtime()));
    mail_.setOnHardware(read.boolean(values::HardDesc.runtime()));
    mail_.setSecure(read.boolean(values::AuthSeguro.runtime()));

    SmtpClientSettings& smtp = mail_.smtp();
    smtp.host = read.text(values::ServerSMTP.runtime());
    smtp.auth = SmtpClientSettings::Auth::Login;
    smtp.port = read.port(values::PortaSMTP.runtime(), smtp.port);
    smtp.user = read.text(values::UserSMTP.runtime());
    smtp.password = password;
}

void Shell::openManual() {
    ManualOpener(ports_.platform.viewer, ports_.platform.paths.manualPlaces, log_).open();
}

void Shell::confirmShutdown() {
    if (!ports_.platform.boxes.confirm(QStringLiteral("Confirmação"),
                                       QStringLiteral("Deseja realmente finalizar o sistema?")))
        return;
    line_.closing();
    rotation_.stopForShutdown();
    ports_.platform.loop.quit();
}

void Shell::closeRequested() {
    line_.closing();
    rotation_.stopForShutdown();
}

void Shell::showPlayerOnViews() {
    channel_.showPlayerOnViews();
}

void Shell::minimizeBoxPressed() {
    modes_.minimizeBoxPressed();
}

// A sound fault is counted once as the line falls silent for it; the
// silence itself is counted unless the program or the operator asked for it.
void Shell::feedMetrics(const LineState& line) {
    const bool fault = !line.onAir && (line.reason == OffAirReason::SoundServerDown ||
                                       line.reason == OffAirReason::SoundStopped ||
                                       line.reason == OffAirReason::MessageUnplayable);
    if (fault && metricsFault_ != line.reason)
        metrics_.soundFault();
    metricsFault_ = fault ? std::optional(line.reason) : std::nullopt;
    metrics_.lineChanged(line.onAir, !line.onPurpose, line.hardwarePresent, line.file);
}

void Shell::finish() {
    if (finished_)
        return;
    finished_ = true;
    line_.closing();
    log_.clearTimer().setEnabled(false);
    ports_.status.idle.setIdleHandler(nullptr);
    cpuGauge_.stop();
    hotKey_.setEnabled(false);
    modes_.disableTray();
    channel_.stopWatching();
    bool stopped = false;
    errors_.guard([&] {
        if (ports_.audio.player.playing()) {
            ports_.audio.player.stop();
            stopped = true;
        }
    });
    presence_.stopUsbWatch();
    metrics_.finish();
    // The journal keeps the end of the run, and says when it silenced the line.
    log_.write(stopped ? QStringLiteral("Sistema finalizado: a mensagem de espera saiu do ar.")
                       : QStringLiteral("Sistema finalizado."));
}

}  // namespace quindra
