#include "rotation/MessageRotation.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>
#include <utility>

#include "config/RegistryKey.h"
#include "config/Values.h"
#include "core/Clock.h"
#include "core/FormView.h"
#include "core/LocaleFormats.h"
#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "ports/AudioProbe.h"
#include "ports/WaveControl.h"
#include "rotation/FolderListing.h"
#include "rotation/SetAside.h"

namespace quindra {

namespace {

const QString kMessageRule = QStringLiteral(
    "só vão ao ar arquivos terminados em \".wav\" ou \".mp3\", em letras minúsculas");

QString copyFailed(const QString& name) {
    return QStringLiteral("Erro ao copiar o arquivo de áudio %1; a mensagem atual continua no ar.")
        .arg(name);
}

}  // namespace

MessageRotation::MessageRotation(Ports ports, std::function<void()> swapDone)
    : p_(ports),
      swapDone_(std::move(swapDone)),
      tVerificaArquivo_(p_.loop.createTimer(kCheckIntervalMs, [this] { tVerificaArquivoTimer(); })),
      tReset_(p_.loop.createTimer(kResetMs, [this] { tResetTimer(); })),
      tLimpaVar_(p_.loop.createTimer(kLimpaVarMs, [this] { tLimpaVarTimer(); })),
      guard_(p_.files, p_.paths),
      messages_(p_.paths, p_.files, p_.probe, p_.log, p_.formats.locale()) {
    // The watch runs from the moment the window exists; until the channel is
    // on air each check returns at once.
    tVerificaArquivo_->setEnabled(true);
}

MessageRotation::~MessageRotation() = default;

void MessageRotation::findMessageOnAir() {
    const QString folder = messages_.path();
    std::exception_ptr failure;
    p_.onAir.file.clear();
    const auto stamp = p_.files.stamp(folder);
    if (stamp && !stamp->folder) {
        p_.log.write(QStringLiteral("A pasta de mensagens %1 não é uma pasta (há um arquivo com "
                                    "esse nome); nenhuma mensagem pode ir ao ar.")
                         .arg(folder));
    } else {
        if (!stamp) {
            try {
                p_.files.makeFolder(folder);
            } catch (const FileError&) {
            }
        }
        QString onHistory;
        try {
            RegistryKey reg(p_.registry, Root::LocalMachine);
            reg.openKey(kConfigKeySlash, false);
            onHistory = reg.readString(values::ArquivoAtual.control());
        } catch (const ConfigError&) {
        }
        try {
            p_.onAir.file = messages_.chooseMessageOnAir(onHistory);
        } catch (const FileError&) {
            failure = std::current_exception();
        }
    }

    const QString setting = p_.state.settings.dropFolder;
    pointListingAt(setting);
    p_.view.setLabel(Label::lbArquivo, QFileInfo(p_.onAir.file).fileName());
    if (p_.onAir.file.isEmpty()) {
        const QString how =
            setting.isEmpty()
                ? QStringLiteral(
                      "escolha a pasta de reposição nas Configurações e coloque nela "
                      "um arquivo .wav ou .mp3")
                : QStringLiteral("coloque um arquivo .wav ou .mp3 na pasta de reposição %1")
                      .arg(knownFolder_.isEmpty() ? setting : knownFolder_);
        p_.log.write(QStringLiteral("Nenhuma mensagem no ar: a pasta de mensagens não tem um "
                                    "arquivo de áudio que possa ser tocado. Para pôr uma no ar, "
                                    "%1.")
                         .arg(how));
    }
    // Files already in the drop folder can go on air at the first check.
    if (!knownFolder_.isEmpty() && !guard_.refusal(knownFolder_))
        lookInto(knownFolder_, true);
    if (failure)
        std::rethrow_exception(failure);
}

void MessageRotation::resetSwapFlags() {
    p_.swap.replaySuspended = false;
    p_.swap.pauseActive = true;
}

void MessageRotation::stopForShutdown() {
    p_.swap.replaySuspended = true;
    tVerificaArquivo_->setEnabled(false);
}

void MessageRotation::pointListingAt(const QString& path) {
    lastSetting_ = path;
    remember(path);
}

void MessageRotation::remember(const QString& setting) {
    if (const auto folder = ListedFolder(p_.files, setting)) {
        knownFolder_ = *folder;
        knownSetting_ = setting;
    }
}

void MessageRotation::tVerificaArquivoTimer() {
    const bool stood = settingStood();
    if (!p_.state.channel.active)
        return;
    // A setting that changed since the previous check may be one typed on
    // its way ("/home/op/" before "/home/op/espera"): it is used only once it
    // has stood for a whole check.
    if (!stood)
        return endCheck();

    const QString drop = dropFolder();
    if (drop.isEmpty())
        return endCheck();
    const auto seen = lookInto(drop, false);
    if (!seen)
        return endCheck();

    // Every file that is not a message ahead of the first one that is goes
    // aside at once, so a backlog never holds a message back; the message
    // goes on air at the next check.
    QList<Seen> notAudio;
    const Seen* candidate = nullptr;
    for (const Seen& file : *seen) {
        if (passedOver_.contains(file.path, file.stamp))
            continue;
        if (file.state != SettleWatch::State::Settled) {
            // It may still be being written: it waits, and the files behind
            // it wait with it.
            if (file.state == SettleWatch::State::Changed) {
                reportOnce(
                    settleReport_,
                    QStringLiteral("O arquivo %1 ainda está sendo gravado; a troca fica para "
                                   "a próxima verificação.")
                        .arg(file.name));
            }
            break;
        }
        if (!IsMessageName(file.name)) {
            notAudio << file;
            continue;
        }
        candidate = &file;
        break;
    }
    if (notAudio.isEmpty() && !candidate)
        return endCheck();
    settleReport_.clear();
    // A message folder that can take no file holds the swap back, reported
    // once, until it can.
    if (notAudio.isEmpty() && !messageFolderTakesFiles())
        return endCheck();

    p_.log.write(QStringLiteral("Efetuando troca de arquivo de áudio."));
    tVerificaArquivo_->setEnabled(false);
    if (!notAudio.isEmpty()) {
        setAsideNotAudio(drop, notAudio);
        tVerificaArquivo_->setEnabled(true);
        return;
    }

    const QString staged = canTakeInto(*candidate) ? stage(*candidate) : QString();
    if (staged.isEmpty()) {
        tVerificaArquivo_->setEnabled(true);
        return;
    }
    exchange(*candidate, staged);
}

bool MessageRotation::settingStood() {
    const QString setting = p_.state.settings.dropFolder;
    remember(setting);
    return std::exchange(lastSetting_, setting) == setting;
}

QString MessageRotation::dropFolder() {
    const QString setting = p_.state.settings.dropFolder;
    const QString folder = setting == knownSetting_ ? knownFolder_ : QString();
    if (folder.isEmpty()) {
        reportOnce(dropReport_,
                   QStringLiteral("A pasta de reposição %1 não foi encontrada; a verificação "
                                  "continua.")
                       .arg(setting));
        return {};
    }
    // Judged before anything is made or read there.
    if (const auto why = guard_.refusal(folder)) {
        reportOnce(dropReport_, QStringLiteral("A pasta de reposição %1 não pode ser usada porque "
                                               "%2; nenhum arquivo dela foi movido ou apagado. "
                                               "Escolha outra pasta nas Configurações.")
                                    .arg(folder, *why));
        return {};
    }
    const auto stamp = p_.files.stamp(folder);
    if (!stamp) {
        try {
            p_.files.makeFolder(folder);
        } catch (const FileError&) {
            reportOnce(dropReport_,
                       QStringLiteral("A pasta de reposição %1 não existe e não pôde ser criada; a "
                                      "verificação continua.")
                           .arg(folder));
            return {};
        }
        p_.log.write(QStringLiteral("A pasta de reposição %1 não existia e foi criada novamente.")
                         .arg(folder));
    } else if (!stamp->folder) {
        reportOnce(dropReport_, QStringLiteral("A pasta de reposição %1 não é uma pasta; a "
                                               "verificação continua.")
                                    .arg(folder));
        return {};
    }
    dropReport_.clear();
    return folder;
}

// Lists the folder and looks at each file, for the settle rule. Nothing when
// the folder cannot be read (reported once, unless quietly).
std::optional<QList<MessageRotation::Seen>> MessageRotation::lookInto(const QString& folder,
                                                                      bool quietly) {
    FolderEntries entries;
    try {
        entries = p_.files.list(folder);
    } catch (const FileError& e) {
        if (!quietly) {
            reportOnce(listReport_,
                       QStringLiteral("A pasta de reposição %1 não pode ser lida (%2); "
                                      "a verificação continua.")
                           .arg(folder, e.text()));
        }
        return std::nullopt;
    }
    listReport_.clear();
    if (!quietly)
        entries.names += repairNames(folder, entries.undecodableNames);

    SortByName(entries.names, p_.formats.locale());
    QList<Seen> seen;
    QSet<QString> present;
    settle_.begin();
    for (const QString& name : entries.names) {
        const QString path = Joined(folder, name);
        const auto stamp = p_.files.stamp(path);
        if (!stamp)
            continue;
        seen.append({path, name, *stamp, settle_.look(path, *stamp)});
        present.insert(path);
    }
    passedOver_.keepOnly(present);
    return seen;
}

// A name that is not valid UTF-8 cannot be shown, stored or told apart as
// text: the file gets a readable name in place and comes on air as any other.
QStringList MessageRotation::repairNames(const QString& folder, const QList<QByteArray>& names) {
    QStringList repairedNames;
    for (const QByteArray& bytes : names) {
        const QString repaired = FreeName(p_.files, folder, RepairedName(bytes));
        try {
            p_.files.renameBytes(folder, bytes, Joined(folder, repaired));
            badNamesReported_.remove(bytes);
            repairedNames << repaired;
            p_.log.write(QStringLiteral("O nome de um arquivo da pasta de reposição não era texto "
                                        "UTF-8 válido e foi corrigido para %1.")
                             .arg(repaired));
        } catch (const FileError& e) {
            if (badNamesReported_.contains(bytes))
                continue;
            badNamesReported_.insert(bytes);
            p_.log.write(QStringLiteral("O arquivo %1 da pasta de reposição tem um nome que não "
                                        "é texto UTF-8 válido e não pôde ser renomeado (%2); "
                                        "renomeie-o para que ele possa ir ao ar.")
                             .arg(RepairedName(bytes), e.text()));
        }
    }
    return repairedNames;
}

void MessageRotation::setAsideNotAudio(const QString& folder, const QList<Seen>& files) {
    QStringList moved;
    for (const Seen& file : files) {
        try {
            MoveAside(p_.files, folder, file.name, kNotAudioFolder);
            moved << file.name;
        } catch (const FileError& e) {
            passedOver_.add(file.path, file.stamp);
            p_.log.write(QStringLiteral("O arquivo %1 não é uma mensagem (%2) e não pôde ser "
                                        "movido para a pasta \"%3\": %4. Ele fica na pasta de "
                                        "reposição, ignorado até ser alterado.")
                             .arg(file.name, kMessageRule, kNotAudioFolder, e.text()));
        }
    }
    if (moved.size() > kLinesPerSetAside) {
        p_.log.write(QStringLiteral("%1 arquivos que não são mensagens (%2), de %3 a %4, foram "
                                    "movidos para a pasta \"%5\" da pasta de reposição.")
                         .arg(QString::number(moved.size()), kMessageRule, moved.front(),
                              moved.back(), kNotAudioFolder));
        return;
    }
    for (const QString& name : moved) {
        p_.log.write(QStringLiteral("O arquivo %1 não é uma mensagem (%2) e foi movido para a "
                                    "pasta \"%3\" da pasta de reposição.")
                         .arg(name, kMessageRule, kNotAudioFolder));
    }
}

void MessageRotation::setAsideUnplayable(const Seen& file, const QString& folder, bool silent) {
    const QString why =
        silent ? QStringLiteral("só contém silêncio") : QStringLiteral("não pôde ser lido");
    try {
        MoveAside(p_.files, folder, file.name, kUnplayableFolder);
        p_.log.write(QStringLiteral("O arquivo de áudio %1 %2 e foi movido para a pasta \"%3\"; "
                                    "a mensagem atual continua no ar.")
                         .arg(file.name, why, kUnplayableFolder));
    } catch (const FileError&) {
        // It stays, but the checks pass over it (until it changes), so the
        // files behind it still come on air.
        passedOver_.add(file.path, file.stamp);
        p_.log.write(QStringLiteral("O arquivo de áudio %1 %2 e fica na pasta de reposição sem ir "
                                    "ao ar; a mensagem atual continua no ar.")
                         .arg(file.name, why));
    }
}

// What can be known before the message on air stops: the file plays, and
// the message folder can take it under its name.
bool MessageRotation::canTakeInto(const Seen& file) {
    const AudioProbe::Verdict verdict = p_.probe.examine(file.path);
    if (verdict != AudioProbe::Verdict::Playable) {
        setAsideUnplayable(file, QFileInfo(file.path).absolutePath(),
                           verdict == AudioProbe::Verdict::Silent);
        return false;
    }
    const QString folder = messages_.path();
    const qsizetype length = QFile::encodeName(file.name).size();
    const int longest = p_.files.longestName(folder);
    if (length > longest) {
        passedOver_.add(file.path, file.stamp);
        p_.log.write(QStringLiteral("O nome do arquivo %1 é longo demais para a pasta de mensagens "
                                    "(%2 bytes; o máximo é %3). Ele fica na pasta de reposição, "
                                    "fora do ar, até ser renomeado.")
                         .arg(file.name, QString::number(length), QString::number(longest)));
        return false;
    }
    messageFolderReport_.clear();
    return true;
}

// The new file is copied whole beside the old message before anything
// stops. Empty when the swap cannot go on.
QString MessageRotation::stage(const Seen& file) {
    const QString staged = messages_.stagedPath();
    try {
        p_.files.copy(file.path, staged);
    } catch (const FileError&) {
        reportOnce(copyReport_, copyFailed(file.name));
        return {};
    }
    copyReport_.clear();
    step(u"copiada");
    // A file that changed while it was copied is not what was copied.
    if (p_.files.stamp(file.path) != file.stamp) {
        tryRemove(staged);
        p_.log.write(QStringLiteral("O arquivo %1 mudou durante a cópia e fica na pasta de "
                                    "reposição; a troca fica para a próxima verificação.")
                         .arg(file.name));
        return {};
    }
    return staged;
}

void MessageRotation::exchange(const Seen& file, const QString& staged) {
    const QString folder = messages_.path();
    const bool stopped = suspendPlayback();
    step(u"parada");

    const QString old = p_.onAir.file;
    const auto oldStamp = p_.files.stamp(old);
    const QString target = Joined(folder, file.name);
    try {
        p_.files.rename(staged, target);
    } catch (const FileError& e) {
        tryRemove(staged);
        passedOver_.add(file.path, file.stamp);
        p_.log.write(QStringLiteral("O arquivo de áudio %1 não pôde ser posto na pasta de "
                                    "mensagens (%2); a mensagem atual continua no ar e o arquivo "
                                    "fica na pasta de reposição até ser alterado.")
                         .arg(file.name, e.text()));
        if (stopped) {
            playCurrentQuietly();
            replayOwed_ = true;
        }
        return endCheck();
    }
    syncQuietly(folder);
    step(u"renomeada");

    // A store that refuses the history does not stop the swap halfway: the
    // new message goes on air, then the failure reaches the error box.
    std::exception_ptr storeFailure;
    try {
        writeHistory(file.name, QFileInfo(old).fileName());
        step(u"historico");
        showHistory();
    } catch (const ConfigError&) {
        storeFailure = std::current_exception();
    }

    const auto newStamp = p_.files.stamp(target);
    removeOldMessage(old, oldStamp, newStamp);
    if (newStamp)
        messages_.clearLeftovers(*newStamp, old);
    syncQuietly(folder);
    step(u"antiga-apagada");

    p_.onAir.file = target;
    p_.view.setLabel(Label::lbArquivo, file.name);
    removeDropped(file);
    step(u"reposicao-apagada");

    p_.loop.pause(kPauseBeforeStartMs);
    p_.log.write(QStringLiteral("Troca de arquivo de áudio efetuada com sucesso."));
    startNewMessage();
    replayOwed_ = stopped;
    endCheck();
    if (storeFailure)
        std::rethrow_exception(storeFailure);
}

// The old message goes only while its name still reaches the file that was
// on air: on a case-insensitive folder "Promo.wav" replaces "promo.wav" in
// place, and that name now reaches the new message.
void MessageRotation::removeOldMessage(const QString& old, const std::optional<FileStamp>& oldStamp,
                                       const std::optional<FileStamp>& newStamp) {
    if (old.isEmpty() || !oldStamp) {
        p_.log.write(QStringLiteral("Erro ao deletar arquivo antigo."));
        return;
    }
    const auto now = p_.files.stamp(old);
    if (!now || !now->sameFileAs(*oldStamp) || (newStamp && now->sameFileAs(*newStamp)))
        return;
    if (!tryRemove(old))
        p_.log.write(QStringLiteral("Erro ao deletar arquivo antigo."));
}

// The dropped file goes once its copy is on air, unless it changed meanwhile
// (then it is a new file to take at a later check).
void MessageRotation::removeDropped(const Seen& file) {
    if (p_.files.stamp(file.path) != file.stamp) {
        p_.log.write(QStringLiteral("O arquivo %1 foi alterado durante a troca e fica na pasta de "
                                    "reposição.")
                         .arg(file.name));
        return;
    }
    if (tryRemove(file.path))
        return;
    passedOver_.add(file.path, file.stamp);
    p_.log.write(QStringLiteral("Erro ao deletar da pasta de reposição."));
    p_.log.write(QStringLiteral("O arquivo %1 fica na pasta de reposição e não volta ao ar até ser "
                                "alterado.")
                     .arg(file.name));
}

void MessageRotation::tResetTimer() {
    tReset_->setEnabled(false);
    p_.swap.pauseActive = false;
}

void MessageRotation::tLimpaVarTimer() {
    tLimpaVar_->setEnabled(false);
    p_.swap.replaySuspended = false;
    tVerificaArquivo_->setEnabled(true);
    // A new message shorter than the suspension has ended unreplayed: it
    // starts again now rather than leave the channel silent.
    if (std::exchange(replayOwed_, false) && p_.state.channel.active && !p_.PlayC1.playing())
        playCurrentQuietly();
}

bool MessageRotation::messageFolderTakesFiles() {
    const QString folder = messages_.path();
    const auto stamp = p_.files.stamp(folder);
    if (stamp && stamp->folder) {
        if (const auto why = p_.files.refusesWrites(folder)) {
            reportOnce(messageFolderReport_,
                       QStringLiteral("A pasta de mensagens %1 não aceita gravação (%2); a troca "
                                      "fica para a próxima verificação e a mensagem atual "
                                      "continua no ar.")
                           .arg(folder, *why));
            return false;
        }
        messageFolderReport_.clear();
        return true;
    }
    try {
        if (stamp)
            throw FileError(QStringLiteral("há um arquivo com esse nome"));
        p_.files.makeFolder(folder);
    } catch (const FileError&) {
        reportOnce(messageFolderReport_,
                   QStringLiteral("A pasta de mensagens %1 não existe e não pôde ser criada; a "
                                  "troca fica para a próxima verificação.")
                       .arg(folder));
        return false;
    }
    messageFolderReport_.clear();
    p_.log.write(
        QStringLiteral("A pasta de mensagens %1 não existia e foi criada novamente.").arg(folder));
    return true;
}

bool MessageRotation::suspendPlayback() {
    if (!p_.PlayC1.playing())
        return false;
    // Suspended before the first stop, so that the end of the file and a
    // removal notice handled meanwhile restart nothing.
    p_.swap.replaySuspended = true;
    p_.loop.processMessagesUntil([this] {
        if (p_.PlayC1.playing())
            p_.PlayC1.stop();
        return !p_.PlayC1.playing();
    });
    tReset_->setEnabled(true);
    p_.loop.processMessagesUntil([this] { return !p_.swap.pauseActive; });
    p_.swap.pauseActive = true;
    p_.loop.pause(kPauseAfterResetMs);
    return true;
}

// One change in the store: after a crash the history is the old one or the
// new one, never a mix.
void MessageRotation::writeHistory(const QString& newName, const QString& oldName) {
    const auto moment = [this] {
        const QDateTime now = p_.clock.now();
        return p_.formats.shortDate(now.date()) + QLatin1Char('-') +
               p_.formats.longTime(now.time());
    };
    RegistryKey reg(p_.registry, Root::LocalMachine);
    reg.openKey(kConfigKeySlash, false);
    const QString enteredBefore = reg.readString(values::DataAtual.control());
    const QString entered = moment();
    const QString left = moment();
    reg.writeStrings({{values::ArquivoAtual.written(), newName},
                      {values::ArquivoAnterior.written(), oldName},
                      {values::DataAnteriorEntra.written(), enteredBefore},
                      {values::DataAtual.written(), entered},
                      {values::DataAnteriorSai.written(), left}});
    reg.closeKey();
}

void MessageRotation::showHistory() {
    RegistryKey reg(p_.registry, Root::LocalMachine);
    reg.openKey(kConfigKeySlash, false);
    p_.view.setLabel(Label::lbArquivoAnterior, reg.readString(values::ArquivoAnterior.control()));
    p_.view.setLabel(Label::lbDataHoraAtual, reg.readString(values::DataAtual.control()));
    p_.view.setLabel(Label::lbDataHoraAnterior,
                     reg.readString(values::DataAnteriorEntra.control()));
    p_.view.setLabel(Label::lbDataHoraAnteriroSai,
                     reg.readString(values::DataAnteriorSai.control()));
    reg.closeKey();
}

void MessageRotation::startNewMessage() {
    try {
        if (p_.PlayC1.playing())
            p_.PlayC1.stop();
        if (swapDone_)
            swapDone_();
        p_.PlayC1.play(p_.onAir.file);
    } catch (const std::exception&) {
        p_.log.write(QStringLiteral("Erro ao reproduzir pela troca"));
    }
}

void MessageRotation::playCurrentQuietly() {
    // As the replay does: a message that cannot start is silent.
    try {
        p_.PlayC1.play(p_.onAir.file);
    } catch (const std::exception&) {
    }
}

bool MessageRotation::tryRemove(const QString& path) {
    try {
        p_.files.remove(path);
        return true;
    } catch (const FileError&) {
        return false;
    }
}

// The entries are on the disk before the next step relies on them; a folder
// that cannot be flushed still holds them, so the swap goes on.
void MessageRotation::syncQuietly(const QString& folder) {
    try {
        p_.files.syncFolder(folder);
    } catch (const FileError&) {
    }
}

void MessageRotation::reportOnce(QString& lastReport, const QString& line) {
    if (lastReport == line)
        return;
    lastReport = line;
    p_.log.write(line);
}

void MessageRotation::step(QStringView name) {
    if (stepHook_)
        stepHook_(name);
}

void MessageRotation::endCheck() {
    tLimpaVar_->setEnabled(true);
}

}  // namespace quindra
