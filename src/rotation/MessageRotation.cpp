#include "rotation/MessageRotation.h"

#include <QDateTime>
#include <QDir>
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
#include "rotation/FileOperations.h"
#include "rotation/FolderListing.h"

namespace quindra {

const QString MessageRotation::kSetAsideFolder = QStringLiteral("Inválidos");

namespace {

// The hidden name under which a new message is copied beside the old one.
// The listing never shows it, so a copy cut short (even by a crash) is never
// taken for the message on air.
const QString kStagedName = QStringLiteral(".nova-mensagem.tmp");

// The extension is the text from the last dot on, compared exactly.
bool isMessageName(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot);
    return extension == QStringLiteral(".mp3") || extension == QStringLiteral(".wav");
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// `name` in `folder`, or "name (2).ext", "name (3).ext", ... when taken.
QString freeName(const QString& folder, const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    QString candidate = joined(folder, name);
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = joined(folder, base + QStringLiteral(" (%1)").arg(n) + extension);
    return candidate;
}

// One spelling per folder, so that two paths to it compare equal.
QString samePlace(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

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
      tLimpaVar_(p_.loop.createTimer(kLimpaVarMs, [this] { tLimpaVarTimer(); })) {
    // The watch runs from the moment the window exists; until the channel is
    // on air each check returns at once.
    tVerificaArquivo_->setEnabled(true);
}

MessageRotation::~MessageRotation() = default;

void MessageRotation::findMessageOnAir() {
    const QString folder = p_.paths.messageFolder();
    if (!QFileInfo(folder).isDir())
        QDir().mkpath(folder);
    std::exception_ptr failure;
    try {
        p_.onAir.CurrentAudioFile = FirstFilePath(folder);
    } catch (const FolderListingError&) {
        p_.onAir.CurrentAudioFile.clear();
        failure = std::current_exception();
    }
    pointListingAt(p_.state.settings.PathAudio);
    p_.view.setLabel(Label::lbArquivo, QFileInfo(p_.onAir.CurrentAudioFile).fileName());
    if (failure)
        std::rethrow_exception(failure);
}

void MessageRotation::resetSwapFlags() {
    p_.swap.ReplaySuspended = false;
    p_.swap.SwapPauseActive = true;
}

void MessageRotation::stopForShutdown() {
    p_.swap.ReplaySuspended = true;
    tVerificaArquivo_->setEnabled(false);
}

void MessageRotation::pointListingAt(const QString& path) {
    try {
        knownFolder_ = ListedFolder(path);
        knownSetting_ = path;
    } catch (const FolderListingError&) {
    }
}

void MessageRotation::tVerificaArquivoTimer() {
    pointListingAt(p_.state.settings.PathAudio);
    if (!p_.state.channel.ChannelActive)
        return;

    const QString drop = dropFolder();
    if (drop.isEmpty())
        return endCheck();
    const QString newFile = firstCandidate(drop);
    if (newFile.isEmpty())
        return endCheck();
    const QString newName = QFileInfo(newFile).fileName();
    const auto stamp = p_.files.stamp(newFile);
    if (!stamp)
        return endCheck();
    // A file changed moments ago may still be being written: it waits for
    // the next check, and the files behind it wait with it.
    if (stamp->msSinceChange >= 0 && stamp->msSinceChange < kSettleMs) {
        p_.log.AddMsg(
            QStringLiteral(
                "O arquivo %1 ainda está sendo gravado; a troca fica para a próxima verificação.")
                .arg(newName));
        return endCheck();
    }

    p_.log.AddMsg(QStringLiteral("Efetuando troca de arquivo de áudio."));
    tVerificaArquivo_->setEnabled(false);

    // Only ".wav" and ".mp3", as written, are messages; anything else is
    // removed and the watch goes on.
    if (!isMessageName(newName)) {
        tryRemove(newFile);
        tVerificaArquivo_->setEnabled(true);
        return;
    }

    const QString staged = stage(newFile, drop);
    if (staged.isEmpty()) {
        tVerificaArquivo_->setEnabled(true);
        return;
    }
    exchange(newFile, staged);
}

// What can still fail is tried before the old message stops, so that a
// failure leaves it playing: the new file must play, and its copy must be
// whole beside the old one. Empty when the swap cannot go on.
QString MessageRotation::stage(const QString& newFile, const QString& drop) {
    const AudioProbe::Verdict verdict = p_.probe.examine(newFile);
    if (verdict != AudioProbe::Verdict::Playable) {
        setAside(newFile, drop, verdict == AudioProbe::Verdict::Silent);
        return {};
    }
    if (!messageFolderReady())
        return {};
    const QString staged = joined(p_.paths.messageFolder(), kStagedName);
    try {
        p_.files.copy(newFile, staged);
    } catch (const FileError&) {
        p_.log.AddMsg(copyFailed(QFileInfo(newFile).fileName()));
        return {};
    }
    return staged;
}

void MessageRotation::exchange(const QString& newFile, const QString& staged) {
    const QString newName = QFileInfo(newFile).fileName();
    const QString folder = p_.paths.messageFolder();
    const bool stopped = suspendPlayback();

    QString oldFile;
    try {
        oldFile = FirstFilePath(folder);
    } catch (const FolderListingError&) {
    }
    const QString target = joined(folder, newName);
    try {
        p_.files.rename(staged, target);
    } catch (const FileError&) {
        tryRemove(staged);
        p_.log.AddMsg(copyFailed(newName));
        if (stopped) {
            playCurrentQuietly();
            replayOwed_ = true;
        }
        return endCheck();
    }
    // Only now is the old message deleted; one of the same name has just
    // been replaced by the rename.
    const QString oldName = QFileInfo(oldFile).fileName();
    if (oldName != newName && (oldFile.isEmpty() || !tryRemove(oldFile)))
        p_.log.AddMsg(QStringLiteral("Erro ao deletar arquivo antigo."));

    // A store that refuses the history does not stop the swap halfway: the
    // new message goes on air, then the failure reaches the error box.
    std::exception_ptr storeFailure;
    try {
        writeHistory(newName, oldName);
        showHistory();
    } catch (const ConfigError&) {
        storeFailure = std::current_exception();
    }

    p_.onAir.CurrentAudioFile = target;
    p_.view.setLabel(Label::lbArquivo, newName);
    if (!tryRemove(newFile))
        p_.log.AddMsg(QStringLiteral("Erro ao deletar da pasta de reposição."));
    p_.loop.pause(kPauseBeforeStartMs);
    p_.log.AddMsg(QStringLiteral("Troca de arquivo de áudio efetuada com sucesso."));
    startNewMessage();
    replayOwed_ = stopped;
    endCheck();
    if (storeFailure)
        std::rethrow_exception(storeFailure);
}

void MessageRotation::tResetTimer() {
    tReset_->setEnabled(false);
    p_.swap.SwapPauseActive = false;
}

void MessageRotation::tLimpaVarTimer() {
    tLimpaVar_->setEnabled(false);
    p_.swap.ReplaySuspended = false;
    tVerificaArquivo_->setEnabled(true);
    // A new message shorter than the suspension has ended unreplayed: it
    // starts again now rather than leave the channel silent.
    if (std::exchange(replayOwed_, false) && p_.state.channel.ChannelActive && !p_.PlayC1.Playing())
        playCurrentQuietly();
}

QString MessageRotation::dropFolder() {
    const QString setting = p_.state.settings.PathAudio;
    const QString folder = setting == knownSetting_ ? knownFolder_ : QString();
    if (folder.isEmpty()) {
        reportOnce(dropReport_,
                   QStringLiteral("A pasta de reposição %1 não foi encontrada; a verificação "
                                  "continua.")
                       .arg(setting));
        return {};
    }
    if (!QFileInfo(folder).isDir()) {
        try {
            p_.files.makeFolder(folder);
        } catch (const FileError&) {
            reportOnce(dropReport_,
                       QStringLiteral("A pasta de reposição %1 não existe e não pôde ser criada; a "
                                      "verificação continua.")
                           .arg(folder));
            return {};
        }
        p_.log.AddMsg(QStringLiteral("A pasta de reposição %1 não existia e foi criada novamente.")
                          .arg(folder));
    }
    // Watching the message folder would take the message on air for a new
    // one and delete it.
    if (samePlace(folder) == samePlace(p_.paths.messageFolder())) {
        reportOnce(dropReport_,
                   QStringLiteral("A pasta de reposição não pode ser a pasta de mensagens (%1); "
                                  "nenhum arquivo foi trocado.")
                       .arg(folder));
        return {};
    }
    dropReport_.clear();
    return folder;
}

bool MessageRotation::messageFolderReady() {
    const QString folder = p_.paths.messageFolder();
    if (QFileInfo(folder).isDir()) {
        messageFolderReport_.clear();
        return true;
    }
    try {
        p_.files.makeFolder(folder);
    } catch (const FileError&) {
        reportOnce(messageFolderReport_,
                   QStringLiteral("A pasta de mensagens %1 não existe e não pôde ser criada; a "
                                  "troca fica para a próxima verificação.")
                       .arg(folder));
        return false;
    }
    messageFolderReport_.clear();
    p_.log.AddMsg(
        QStringLiteral("A pasta de mensagens %1 não existia e foi criada novamente.").arg(folder));
    return true;
}

QString MessageRotation::firstCandidate(const QString& folder) const {
    QStringList names;
    try {
        names = FolderListing(folder);
    } catch (const FolderListingError&) {
        return {};
    }
    for (const QString& name : names) {
        const QString path = joined(folder, name);
        if (!setAside_.contains(setAsideKey(path)))
            return path;
    }
    return {};
}

void MessageRotation::setAside(const QString& file, const QString& dropFolder, bool silent) {
    const QString name = QFileInfo(file).fileName();
    const QString why =
        silent ? QStringLiteral("só contém silêncio") : QStringLiteral("não pôde ser lido");
    const QString folder = joined(dropFolder, kSetAsideFolder);
    try {
        if (!QFileInfo(folder).isDir())
            p_.files.makeFolder(folder);
        p_.files.rename(file, freeName(folder, name));
        p_.log.AddMsg(QStringLiteral("O arquivo de áudio %1 %2 e foi movido para a pasta \"%3\"; "
                                     "a mensagem atual continua no ar.")
                          .arg(name, why, kSetAsideFolder));
    } catch (const FileError&) {
        // It stays, but the checks pass over it (until it changes), so the
        // files behind it still come on air.
        setAside_.insert(setAsideKey(file));
        p_.log.AddMsg(QStringLiteral("O arquivo de áudio %1 %2 e fica na pasta de reposição sem ir "
                                     "ao ar; a mensagem atual continua no ar.")
                          .arg(name, why));
    }
}

// A file passed over is known by its path and size: one put there in its
// place is looked at afresh.
QString MessageRotation::setAsideKey(const QString& file) const {
    const auto stamp = p_.files.stamp(file);
    return file + QLatin1Char('\n') + QString::number(stamp ? stamp->size : -1);
}

bool MessageRotation::suspendPlayback() {
    if (!p_.PlayC1.Playing())
        return false;
    // Suspended before the first stop, so that the end of the file and a
    // removal notice handled meanwhile restart nothing.
    p_.swap.ReplaySuspended = true;
    p_.loop.processMessagesUntil([this] {
        if (p_.PlayC1.Playing())
            p_.PlayC1.StopPlay();
        return !p_.PlayC1.Playing();
    });
    tReset_->setEnabled(true);
    p_.loop.processMessagesUntil([this] { return !p_.swap.SwapPauseActive; });
    p_.swap.SwapPauseActive = true;
    p_.loop.pause(kPauseAfterResetMs);
    return true;
}

void MessageRotation::writeHistory(const QString& newName, const QString& oldName) {
    const auto moment = [this] {
        const QDateTime now = p_.clock.now();
        return p_.formats.shortDate(now.date()) + QLatin1Char('-') +
               p_.formats.longTime(now.time());
    };
    RegistryKey reg(p_.registry, Root::LocalMachine);
    reg.openKey(kConfigKeySlash, false);
    reg.writeString(values::ArquivoAtual.written(), newName);
    reg.writeString(values::ArquivoAnterior.written(), oldName);
    reg.writeString(values::DataAnteriorEntra.written(),
                    reg.readString(values::DataAtual.control()));
    reg.writeString(values::DataAtual.written(), moment());
    reg.writeString(values::DataAnteriorSai.written(), moment());
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
        if (p_.PlayC1.Playing())
            p_.PlayC1.StopPlay();
        if (swapDone_)
            swapDone_();
        p_.PlayC1.PlayFile(p_.onAir.CurrentAudioFile);
    } catch (const std::exception&) {
        p_.log.AddMsg(QStringLiteral("Erro ao reproduzir pela troca"));
    }
}

void MessageRotation::playCurrentQuietly() {
    // As the replay does: a message that cannot start is silent.
    try {
        p_.PlayC1.PlayFile(p_.onAir.CurrentAudioFile);
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

void MessageRotation::reportOnce(QString& lastReport, const QString& line) {
    if (lastReport == line)
        return;
    lastReport = line;
    p_.log.AddMsg(line);
}

void MessageRotation::endCheck() {
    tLimpaVar_->setEnabled(true);
}

}  // namespace quindra
