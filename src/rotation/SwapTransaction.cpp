#include "rotation/SwapTransaction.h"

#include <QDateTime>
#include <QFileInfo>
#include <QScopeGuard>
#include <utility>

#include "config/RegistryKey.h"
#include "config/Values.h"
#include "core/Clock.h"
#include "core/LocaleFormats.h"
#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "core/ShownName.h"
#include "ports/WaveControl.h"
#include "rotation/FolderListing.h"
#include "rotation/MessageFolder.h"

namespace quindra {

namespace {

QString copyFailed(const QString& name) {
    return QStringLiteral("Erro ao copiar o arquivo de áudio %1; a mensagem atual continua no ar.")
        .arg(ShownName(name));
}

}  // namespace

SwapTransaction::SwapTransaction(Ports ports)
    : p_(std::move(ports)),
      pauseTimer_(p_.loop.createTimer(kPauseMs, [this] { endPause(); })),
      copyReport_(p_.log) {}

SwapTransaction::~SwapTransaction() = default;

SwapTransaction::Outcome SwapTransaction::run(const DroppedFile& file) {
    Outcome outcome;
    const QString staged = stage(file, outcome);
    if (staged.isEmpty())
        return outcome;
    const auto pauseOver = qScopeGuard([this] {
        if (p_.onPause)
            p_.onPause(false);
    });
    return exchange(file, staged);
}

void SwapTransaction::resetFlags() {
    p_.swap.replaySuspended = false;
    p_.swap.pauseActive = true;
}

void SwapTransaction::suspendReplay() {
    p_.swap.replaySuspended = true;
}

void SwapTransaction::endSuspension() {
    p_.swap.replaySuspended = false;
    // A new message shorter than the suspension has ended unreplayed: it
    // starts again now rather than leave the channel silent.
    if (std::exchange(replayOwed_, false) && p_.state.channel.active && !p_.player.playing())
        playCurrentQuietly();
}

// The new file is copied whole beside the old message before anything
// stops. Empty when the swap cannot go on.
QString SwapTransaction::stage(const DroppedFile& file, Outcome& outcome) {
    const QString staged = p_.messages.stagedPath();
    try {
        p_.files.copy(file.path, staged);
        // On the disk before it is renamed into place: a power cut never
        // leaves an empty message under the new name.
        p_.files.flushFile(staged);
    } catch (const FileError&) {
        tryRemove(staged);
        // Taken away by whoever put it there: no fault of the copy.
        if (!p_.files.stamp(file.path)) {
            outcome.vanished = true;
            return {};
        }
        copyReport_.write(copyFailed(file.name));
        copyFailing_ = true;
        return {};
    }
    copyFailing_ = false;
    copyReport_.clear();
    step(u"copiada");
    // A file that changed while it was copied is not what was copied.
    if (const auto now = p_.files.stamp(file.path); now != file.stamp) {
        tryRemove(staged);
        if (!now) {
            outcome.vanished = true;
            return {};
        }
        p_.log.write(QStringLiteral("O arquivo %1 mudou durante a cópia e fica na pasta de "
                                    "reposição; a troca fica para a próxima verificação.")
                         .arg(ShownName(file.name)));
        return {};
    }
    return staged;
}

SwapTransaction::Outcome SwapTransaction::exchange(const DroppedFile& file, const QString& staged) {
    Outcome outcome;
    outcome.staged = true;
    const QString folder = p_.messages.path();
    const bool stopped = suspendPlayback();
    step(u"parada");

    const QString old = p_.onAir.file;
    const auto oldStamp = p_.files.stamp(old);
    const QString target = Joined(folder, file.name);
    try {
        p_.files.rename(staged, target);
    } catch (const FileError& e) {
        tryRemove(staged);
        outcome.passOver = true;
        p_.log.write(QStringLiteral("O arquivo de áudio %1 não pôde ser posto na pasta de "
                                    "mensagens (%2); a mensagem atual continua no ar e o arquivo "
                                    "fica na pasta de reposição até ser alterado.")
                         .arg(ShownName(file.name), e.text()));
        if (stopped) {
            playCurrentQuietly();
            replayOwed_ = true;
        }
        return outcome;
    }
    syncQuietly(folder);
    step(u"renomeada");

    // A store that refuses the history does not stop the swap halfway: the
    // new message goes on air, then the failure reaches the error box.
    try {
        writeHistory(file.name, QFileInfo(old).fileName());
        step(u"historico");
        readHistory();
        announceOnAir();
    } catch (const ConfigError&) {
        outcome.storeFailure = std::current_exception();
    }

    const auto newStamp = p_.files.stamp(target);
    removeOldMessage(old, oldStamp, newStamp);
    if (newStamp)
        p_.messages.clearLeftovers(*newStamp, old);
    syncQuietly(folder);
    step(u"antiga-apagada");

    p_.onAir.file = target;
    announceOnAir();
    outcome.passOver = !removeDropped(file);
    step(u"reposicao-apagada");

    p_.loop.pause(kPauseBeforeStartMs);
    p_.log.write(QStringLiteral("Troca de arquivo de áudio efetuada com sucesso."));
    startNewMessage();
    replayOwed_ = stopped;
    return outcome;
}

bool SwapTransaction::suspendPlayback() {
    if (!p_.player.playing())
        return false;
    // Suspended before the first stop, so that the end of the file and a
    // removal notice handled meanwhile restart nothing.
    p_.swap.replaySuspended = true;
    if (p_.onPause)
        p_.onPause(true);
    p_.loop.processMessagesUntil([this] {
        if (p_.player.playing())
            p_.player.stop();
        return !p_.player.playing();
    });
    pauseTimer_->setEnabled(true);
    p_.loop.processMessagesUntil([this] { return !p_.swap.pauseActive; });
    p_.swap.pauseActive = true;
    p_.loop.pause(kWaitAfterPauseMs);
    return true;
}

void SwapTransaction::endPause() {
    pauseTimer_->setEnabled(false);
    p_.swap.pauseActive = false;
}

// One change in the store: after a crash the history is the old one or the
// new one, never a mix.
void SwapTransaction::writeHistory(const QString& newName, const QString& oldName) {
    const auto moment = [this] {
        const QDateTime now = p_.clock.now();
        return p_.formats.shortDate(now.date()) + QLatin1Char('-') +
               p_.formats.longTime(now.time());
    };
    RegistryKey reg(p_.registry, Root::LocalMachine);
    reg.openKey(kConfigKeySlash, false);
    // With nothing on air before, there is no previous message to have
    // entered or left.
    const bool hadMessage = !oldName.isEmpty();
    const QString enteredBefore = hadMessage ? reg.readString(values::DataAtual.page()) : QString();
    const QString entered = moment();
    const QString left = hadMessage ? moment() : QString();
    reg.writeStrings({{values::ArquivoAtual.written(), newName},
                      {values::ArquivoAnterior.written(), oldName},
                      {values::DataAnteriorEntra.written(), enteredBefore},
                      {values::DataAtual.written(), entered},
                      {values::DataAnteriorSai.written(), left}});
    reg.closeKey();
}

// The history as the store now holds it, value by value.
void SwapTransaction::readHistory() {
    RegistryKey reg(p_.registry, Root::LocalMachine);
    reg.openKey(kConfigKeySlash, false);
    MessageHistory& history = p_.onAir.history;
    history.previousFile = reg.readString(values::ArquivoAnterior.page());
    history.since = reg.readString(values::DataAtual.page());
    history.previousSince = reg.readString(values::DataAnteriorEntra.page());
    history.previousUntil = reg.readString(values::DataAnteriorSai.page());
    reg.closeKey();
}

// The old message goes only while its name still reaches the file that was
// on air: on a case-insensitive folder "Promo.wav" replaces "promo.wav" in
// place, and that name now reaches the new message.
void SwapTransaction::removeOldMessage(const QString& old, const std::optional<FileStamp>& oldStamp,
                                       const std::optional<FileStamp>& newStamp) {
    // Nothing was on air: there is nothing to delete.
    if (old.isEmpty())
        return;
    if (!oldStamp) {
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
// (then it is a new file to take at a later check). False when it stays as
// it was taken.
bool SwapTransaction::removeDropped(const DroppedFile& file) {
    if (p_.files.stamp(file.path) != file.stamp) {
        p_.log.write(QStringLiteral("O arquivo %1 foi alterado durante a troca e fica na pasta de "
                                    "reposição.")
                         .arg(ShownName(file.name)));
        return true;
    }
    if (tryRemove(file.path))
        return true;
    p_.log.write(QStringLiteral("Erro ao deletar da pasta de reposição."));
    p_.log.write(QStringLiteral("O arquivo %1 fica na pasta de reposição e não volta ao ar até ser "
                                "alterado.")
                     .arg(ShownName(file.name)));
    return false;
}

void SwapTransaction::startNewMessage() {
    try {
        if (p_.player.playing())
            p_.player.stop();
        if (p_.swapDone)
            p_.swapDone();
        p_.player.play(p_.onAir.file);
    } catch (const std::exception&) {
        p_.log.write(QStringLiteral("Erro ao reproduzir pela troca"));
    }
}

void SwapTransaction::playCurrentQuietly() {
    // As the replay does: a message that cannot start is silent.
    try {
        p_.player.play(p_.onAir.file);
    } catch (const std::exception&) {
    }
}

bool SwapTransaction::tryRemove(const QString& path) {
    try {
        p_.files.remove(path);
        return true;
    } catch (const FileError&) {
        return false;
    }
}

// The entries are on the disk before the next step relies on them; a folder
// that cannot be flushed still holds them, so the swap goes on.
void SwapTransaction::syncQuietly(const QString& folder) {
    try {
        p_.files.syncFolder(folder);
    } catch (const FileError&) {
    }
}

void SwapTransaction::announceOnAir() {
    if (p_.onAirChanged)
        p_.onAirChanged();
}

void SwapTransaction::step(QStringView name) {
    if (stepHook_)
        stepHook_(name);
}

}  // namespace quindra
