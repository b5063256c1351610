#include "rotation/MessageRotation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>
#include <utility>

#include "config/RegistryKey.h"
#include "config/Values.h"
#include "core/LocaleFormats.h"
#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "core/ShownName.h"
#include "ports/AudioProbe.h"
#include "ports/WaveControl.h"
#include "rotation/FilesInFlight.h"
#include "rotation/FolderListing.h"
#include "rotation/SetAside.h"

namespace quindra {

namespace {

const QString kMessageRule =
    QStringLiteral("só vão ao ar arquivos terminados em \".wav\" ou \".mp3\"");

// What one message ahead of another costs it: its swap, the wait after it,
// and the check that takes the next one.
constexpr int kTurnMs = SwapTransaction::kPauseMs + SwapTransaction::kWaitAfterPauseMs +
                        SwapTransaction::kPauseBeforeStartMs + MessageRotation::kResumeAfterMs +
                        MessageRotation::kCheckIntervalMs;

}  // namespace

MessageRotation::MessageRotation(Ports ports, std::function<void()> swapDone)
    : p_(std::move(ports)),
      checkTimer_(p_.loop.createTimer(kCheckIntervalMs, [this] { checkDropFolder(); })),
      resumeTimer_(p_.loop.createTimer(kResumeAfterMs, [this] { resume(); })),
      settleTimer_(p_.loop.createTimer(kSettleMs, [this] { settleLook(); })),
      guard_(p_.files, p_.paths),
      messages_(p_.paths, p_.files, p_.probe, p_.log, p_.formats.locale()),
      transaction_({.loop = p_.loop,
                    .registry = p_.registry,
                    .clock = p_.clock,
                    .formats = p_.formats,
                    .swap = p_.swap,
                    .onAir = p_.onAir,
                    .state = p_.state,
                    .player = p_.player,
                    .log = p_.log,
                    .files = p_.files,
                    .messages = messages_,
                    .onAirChanged = p_.onAirChanged,
                    .swapDone = std::move(swapDone),
                    .onPause = p_.onSwapPause}),
      dropReport_(p_.log),
      listReport_(p_.log),
      settleReport_(p_.log),
      messageFolderReport_(p_.log),
      watchReport_(p_.log) {
    // The watch runs from the moment the window exists; until the channel is
    // on air each check returns at once.
    checkTimer_->setEnabled(true);
    if (p_.watch)
        p_.watch->setHandler([this](const QList<FolderWatch::Event>& e) { changesArrived(e); });
}

MessageRotation::~MessageRotation() {
    if (p_.watch)
        p_.watch->setHandler({});
}

void MessageRotation::findMessageOnAir() {
    const QString folder = messages_.path();
    std::exception_ptr failure;
    p_.onAir.file.clear();
    const auto stamp = p_.files.stamp(folder);
    if (stamp && !stamp->folder) {
        p_.log.write(QStringLiteral("A pasta de mensagens %1 não é uma pasta (há um arquivo com "
                                    "esse nome); nenhuma mensagem pode ir ao ar.")
                         .arg(ShownName(folder)));
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
            onHistory = reg.readString(values::ArquivoAtual.page());
        } catch (const ConfigError&) {
        }
        try {
            const QString setting = p_.state.settings.dropFolder;
            const QString drop = guard_.refusal(setting)
                                     ? QString()
                                     : ListedFolder(p_.files, setting).value_or(QString());
            p_.onAir.file = messages_.chooseMessageOnAir(onHistory, drop);
        } catch (const FileError&) {
            failure = std::current_exception();
        }
    }

    const QString setting = p_.state.settings.dropFolder;
    pointListingAt(setting);
    // A setting that names nothing at start may be a share that is mounted
    // later: the default folder serves meanwhile, and the setting is kept.
    const QString fallback = defaultFolder();
    const bool named = knownSetting_ == setting && !knownFolder_.isEmpty();
    if (!named && !setting.isEmpty() && !fallback.isEmpty() &&
        QDir::cleanPath(setting) != fallback && !guard_.refusal(setting) &&
        !guard_.refusal(fallback)) {
        awaited_ = setting;
        try {
            if (!p_.files.stamp(fallback))
                makeDefaultFolder();
        } catch (const FileError&) {
        }
        p_.log.write(QStringLiteral("A pasta de reposição %1 não foi encontrada; até que ela "
                                    "exista, é usada a pasta padrão %2, e a configuração fica "
                                    "como está.")
                         .arg(ShownName(setting), ShownName(fallback)));
    }
    const QString watched = !awaited_.isEmpty() ? fallback : named ? knownFolder_ : QString();
    if (p_.onAirChanged)
        p_.onAirChanged();
    if (p_.onAir.file.isEmpty()) {
        const QString how =
            setting.isEmpty()
                ? QStringLiteral(
                      "escolha a pasta de reposição nas Configurações e coloque nela "
                      "um arquivo .wav ou .mp3")
                : QStringLiteral("coloque um arquivo .wav ou .mp3 na pasta de reposição %1")
                      .arg(ShownName(watched.isEmpty() ? setting : watched));
        p_.log.write(QStringLiteral("Nenhuma mensagem no ar: a pasta de mensagens não tem um "
                                    "arquivo de áudio que possa ser tocado. Para pôr uma no ar, "
                                    "%1.")
                         .arg(how));
    }
    // Files already in the drop folder can go on air at the first check.
    if (!watched.isEmpty() && !guard_.refusal(watched) && p_.files.stamp(watched)) {
        inUse_ = watched;
        follow(watched);
        lookInto(watched, Look::AtStart);
    }
    if (failure)
        std::rethrow_exception(failure);
}

void MessageRotation::stopForShutdown() {
    transaction_.suspendReplay();
    checkTimer_->setEnabled(false);
    settleTimer_->setEnabled(false);
    if (p_.watch)
        p_.watch->stop();
    following_ = false;
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

void MessageRotation::checkDropFolder() {
    const bool stood = settingStood();
    if (!p_.state.channel.active)
        return;
    // A setting that changed since the previous check may be one typed on
    // its way ("/home/op/" before "/home/op/espera"): it is used only once it
    // has stood for a whole check. Nor do the settles look anywhere until it
    // has.
    inUse_.clear();
    if (!stood)
        return endCheck();

    const QString drop = dropFolder();
    if (drop.isEmpty())
        return endCheck();
    inUse_ = drop;
    follow(drop);
    const auto seen = lookInto(drop, Look::Check);
    if (!seen)
        return endCheck();
    takeFrom(drop, *seen, Look::Check);
}

// The end of a settle: what has stood still since its start may be taken
// now rather than at the next check.
void MessageRotation::settleLook() {
    settleTimer_->setEnabled(false);
    if (!p_.state.channel.active || inUse_.isEmpty())
        return;
    // A swap, or the wait after it: looked at again when the watch resumes.
    if (!checkTimer_->enabled()) {
        changesPending_ = true;
        return;
    }
    // A setting changed since the last check is not used before it stood.
    if (p_.state.settings.dropFolder != lastSetting_)
        return;
    const auto seen = lookInto(inUse_, Look::Settle);
    if (seen)
        takeFrom(inUse_, *seen, Look::Settle);
}

void MessageRotation::changesArrived(const QList<FolderWatch::Event>& events) {
    bool worthALook = false;
    for (const FolderWatch::Event& event : events) {
        switch (event.change) {
            case FolderWatch::Change::FolderGone:
                // Followed again by the next check, when it is there.
                following_ = false;
                worthALook = true;
                break;
            case FolderWatch::Change::Overflow:
                worthALook = true;
                break;
            case FolderWatch::Change::Arrived:
                worthALook = worthALook || !IsFileInFlight(event.name);
                break;
        }
    }
    if (!worthALook || !p_.state.channel.active)
        return;
    if (!checkTimer_->enabled()) {
        changesPending_ = true;
        return;
    }
    startSettle();
}

// Looks at every file now, and again once the settle is over: each file
// that stood still all that time can then be taken. A change told meanwhile
// starts it afresh, so a file is never taken sooner than the settle after
// its last change.
void MessageRotation::startSettle() {
    settleTimer_->setEnabled(false);
    if (inUse_.isEmpty() || p_.state.settings.dropFolder != lastSetting_)
        return;
    if (!following_)
        follow(inUse_);
    const auto seen = lookInto(inUse_, Look::Settle);
    if (seen)
        settleTimer_->setEnabled(true);
}

// The watch follows the drop folder in use, and follows it again when it
// was replaced. A folder it cannot follow is said once; the checks find
// its files all the same.
void MessageRotation::follow(const QString& folder) {
    if (!p_.watch)
        return;
    const auto stamp = p_.files.stamp(folder);
    if (!stamp || !stamp->folder)
        return;
    if (following_ && folder == followed_ && followedStamp_ && followedStamp_->sameFileAs(*stamp))
        return;
    followed_ = folder;
    followedStamp_ = stamp;
    const auto refusal = p_.watch->watch(folder);
    following_ = !refusal;
    if (!refusal) {
        watchReport_.clear();
        return;
    }
    if (refusal->networkShare) {
        watchReport_.write(QStringLiteral("A pasta de reposição %1 fica em outro computador "
                                          "(pasta de rede); os arquivos novos dela são vistos "
                                          "na verificação a cada 30 segundos.")
                               .arg(ShownName(folder)));
    } else {
        watchReport_.write(QStringLiteral("A pasta de reposição %1 não pode ser acompanhada de "
                                          "imediato (%2); os arquivos novos dela são vistos na "
                                          "verificação a cada 30 segundos.")
                               .arg(ShownName(folder), refusal->reason));
    }
}

void MessageRotation::takeFrom(const QString& drop, const QList<Seen>& seen, Look look) {
    const bool byCheck = look == Look::Check;
    // Only a check lifts the replay's suspension; a settle's look that finds
    // nothing to do leaves the watch as it was.
    const auto endLook = [&] {
        if (byCheck)
            endCheck();
    };
    // Every file that is not a message ahead of the first one that is goes
    // aside at once, so a backlog never holds a message back; the message
    // goes on air at the next check.
    QList<Seen> notAudio;
    const Seen* candidate = nullptr;
    const Seen* busyMessage = nullptr;
    for (const Seen& file : seen) {
        if (passedOver_.contains(file.path, file.stamp))
            continue;
        if (file.state != SettleWatch::State::Settled) {
            // It may still be being written: it waits for a later check, and
            // the files behind it are looked at (a log that grows for good
            // never holds a message back).
            if (file.state == SettleWatch::State::Changed && IsMessageName(file.name) &&
                !busyMessage)
                busyMessage = &file;
            continue;
        }
        if (!IsMessageName(file.name)) {
            // A file another program still writes to is no file to judge.
            if (!p_.files.hasWriters(file.path))
                notAudio << file;
            continue;
        }
        // A copy that stalled stands still but is still open: it is not
        // judged before its writer is done.
        if (p_.files.hasWriters(file.path)) {
            if (!busyMessage)
                busyMessage = &file;
            continue;
        }
        candidate = &file;
        break;
    }
    std::optional<Seen> revisited;
    if (!candidate && notAudio.isEmpty() && byCheck) {
        revisited = changedSetAside();
        if (revisited)
            candidate = &*revisited;
    }
    if (!candidate && busyMessage && byCheck) {
        settleReport_.write(QStringLiteral("O arquivo %1 ainda está sendo gravado; a troca fica "
                                           "para a próxima verificação.")
                                .arg(ShownName(busyMessage->name)));
    }
    if (notAudio.isEmpty() && !candidate)
        return endLook();
    if (!busyMessage)
        settleReport_.clear();
    // A message folder that can take no file holds the swap back, reported
    // once, until it can.
    if (notAudio.isEmpty() && !messageFolderTakesFiles())
        return endLook();

    // Setting files aside is no swap: the watch goes on, and the message
    // waits for the next check.
    if (!notAudio.isEmpty()) {
        setAsideNotAudio(drop, notAudio);
        return;
    }
    if (!candidate->setAside && isOnAirAlready(*candidate))
        return endLook();
    // Gone, or written again, since it was looked at: nothing is begun.
    if (!stillThere(*candidate))
        return endLook();
    // A copy that keeps failing is said once, not announced anew at every
    // check that tries it again.
    if (!transaction_.copyFailing() || candidate->path != lastTried_)
        p_.log.write(QStringLiteral("Efetuando troca de arquivo de áudio."));
    lastTried_ = candidate->path;
    // Neither the check nor the end of an earlier wait may come in the
    // middle of the swap; the wait after it starts when it is done.
    checkTimer_->setEnabled(false);
    const bool resumeArmed = resumeTimer_->enabled();
    resumeTimer_->setEnabled(false);

    const auto outcome =
        canTakeInto(*candidate) ? transaction_.run(*candidate) : SwapTransaction::Outcome();
    if (!outcome.staged) {
        if (outcome.vanished)
            reportVanished(*candidate);
        checkTimer_->setEnabled(true);
        resumeTimer_->setEnabled(resumeArmed);
        return;
    }
    if (candidate->setAside) {
        if (outcome.passOver)
            setAside_.insert(candidate->path, candidate->stamp);
        else
            setAside_.remove(candidate->path);
    } else if (outcome.passOver) {
        passedOver_.add(candidate->path, candidate->stamp);
    }
    endCheck();
    if (outcome.storeFailure)
        std::rethrow_exception(outcome.storeFailure);
}

bool MessageRotation::settingStood() {
    const QString setting = p_.state.settings.dropFolder;
    remember(setting);
    return std::exchange(lastSetting_, setting) == setting;
}

QString MessageRotation::dropFolder() {
    const QString setting = p_.state.settings.dropFolder;
    if (!awaited_.isEmpty()) {
        if (setting != awaited_) {
            awaited_.clear();
        } else if (knownSetting_ == setting) {
            awaited_.clear();
            p_.log.write(
                QStringLiteral("A pasta de reposição %1 foi encontrada e passa a ser usada.")
                    .arg(ShownName(knownFolder_)));
        } else {
            return usable(defaultFolder());
        }
    }
    const QString folder = setting == knownSetting_ ? knownFolder_ : QString();
    if (folder.isEmpty()) {
        // Judged before anything is said of it, though it names nothing yet.
        if (!refused(setting)) {
            dropReport_.write(
                QStringLiteral("A pasta de reposição %1 não foi encontrada; a verificação "
                               "continua.")
                    .arg(ShownName(setting)));
        }
        return {};
    }
    return usable(folder);
}

// The folder, when the guard allows it and it is there; only the default
// folder is made when it is missing, and never below a folder that is
// missing too (a share that is not mounted leaves an empty folder behind).
QString MessageRotation::usable(const QString& folder) {
    // Judged before anything is made or read there.
    if (refused(folder))
        return {};
    const auto stamp = p_.files.stamp(folder);
    if (!stamp) {
        if (folder != defaultFolder()) {
            dropReport_.write(
                QStringLiteral("A pasta de reposição %1 não foi encontrada; a verificação "
                               "continua.")
                    .arg(ShownName(folder)));
            return {};
        }
        try {
            makeDefaultFolder();
        } catch (const FileError&) {
            dropReport_.write(
                QStringLiteral("A pasta de reposição %1 não existe e não pôde ser criada; a "
                               "verificação continua.")
                    .arg(ShownName(folder)));
            return {};
        }
        p_.log.write(QStringLiteral("A pasta de reposição %1 não existia e foi criada novamente.")
                         .arg(ShownName(folder)));
    } else if (!stamp->folder) {
        dropReport_.write(QStringLiteral("A pasta de reposição %1 não é uma pasta; a "
                                         "verificação continua.")
                              .arg(ShownName(folder)));
        return {};
    }
    dropReport_.clear();
    return folder;
}

bool MessageRotation::refused(const QString& folder) {
    const auto why = guard_.refusal(folder);
    if (why) {
        dropReport_.write(QStringLiteral("A pasta de reposição %1 não pode ser usada porque "
                                         "%2; nenhum arquivo dela foi movido ou apagado. "
                                         "Escolha outra pasta nas Configurações.")
                              .arg(ShownName(folder), *why));
    }
    return why.has_value();
}

QString MessageRotation::defaultFolder() const {
    const QString& folder = p_.paths.defaultDropFolder;
    return folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

void MessageRotation::makeDefaultFolder() {
    const QString folder = defaultFolder();
    const auto parent = p_.files.stamp(QFileInfo(folder).absolutePath());
    if (!parent || !parent->folder)
        throw FileError(QStringLiteral("a pasta acima dela não existe"));
    p_.files.makeFolder(folder);
}

// Lists the folder and looks at each file, for the settle rule: a check
// compares with the check before, a settle's look with its start. Nothing
// when the folder cannot be read (reported once, by a check).
std::optional<QList<MessageRotation::Seen>> MessageRotation::lookInto(const QString& folder,
                                                                      Look look) {
    FolderEntries entries;
    try {
        entries = p_.files.list(folder);
    } catch (const FileError& e) {
        if (look == Look::Check) {
            listReport_.write(QStringLiteral("A pasta de reposição %1 não pode ser lida (%2); "
                                             "a verificação continua.")
                                  .arg(ShownName(folder), e.text()));
        }
        return std::nullopt;
    }
    if (look == Look::Check) {
        listReport_.clear();
        entries.names += repairNames(folder, entries.undecodableNames);
        reportHidden(entries.hiddenNames);
    }
    entries.names.removeIf([](const QString& name) { return IsFileInFlight(name); });

    SortByName(entries.names, p_.formats.locale());
    SettleWatch& watch = look == Look::Settle ? quick_ : settle_;
    // A check's look also starts a settle, unless one is running already.
    const bool startsSettle = look == Look::Check && !settleTimer_->enabled();
    watch.begin();
    if (startsSettle)
        quick_.begin();
    QList<Seen> seen;
    QSet<QString> present;
    bool unsettled = false;
    for (const QString& name : entries.names) {
        const QString path = Joined(folder, name);
        const auto stamp = p_.files.stamp(path);
        if (!stamp)
            continue;
        seen.append(Seen{{path, name, *stamp}, watch.look(path, *stamp)});
        if (startsSettle)
            quick_.look(path, *stamp);
        present.insert(path);
        unsettled = unsettled || (seen.back().state != SettleWatch::State::Settled &&
                                  !passedOver_.contains(path, *stamp));
        if (p_.messageSeen && IsMessageName(name))
            p_.messageSeen(seen.back());
    }
    passedOver_.keepOnly(present);
    if (look == Look::AtStart)
        return seen;
    received_.intersect(present);
    announceArrivals(seen);
    // What was new or still changing gets another look once the settle is
    // over, rather than at the next check.
    if (unsettled && (startsSettle || look == Look::Settle))
        settleTimer_->setEnabled(true);
    return seen;
}

// The first sight of a message: one line says it arrived and about when it
// goes on air, counting the messages ahead of it in the listing.
void MessageRotation::announceArrivals(const QList<Seen>& seen) {
    const int swapMs = p_.player.playing()
                           ? SwapTransaction::kPauseMs + SwapTransaction::kWaitAfterPauseMs +
                                 SwapTransaction::kPauseBeforeStartMs
                           : SwapTransaction::kPauseBeforeStartMs;
    int ahead = 0;
    for (const Seen& file : seen) {
        if (!IsMessageName(file.name) || passedOver_.contains(file.path, file.stamp))
            continue;
        if (!received_.contains(file.path)) {
            received_.insert(file.path);
            const int ms = kSettleMs + swapMs + ahead * kTurnMs;
            p_.log.write(QStringLiteral("O arquivo %1 foi recebido e vai ao ar em cerca de %2 "
                                        "segundos.")
                             .arg(ShownName(file.name), QString::number((ms + 999) / 1000)));
        }
        ++ahead;
    }
}

// The file is as it was looked at. One that is gone is said once; one that
// changed is looked at again after a settle.
bool MessageRotation::stillThere(const Seen& file) {
    const auto now = p_.files.stamp(file.path);
    if (now == file.stamp)
        return true;
    if (!now)
        reportVanished(file);
    else
        settleTimer_->setEnabled(true);
    return false;
}

void MessageRotation::reportVanished(const Seen& file) {
    p_.log.write(QStringLiteral("O arquivo %1 saiu da pasta de reposição antes de ir ao ar; a "
                                "mensagem atual continua no ar.")
                     .arg(ShownName(file.name)));
}

// A file whose name starts with a dot is hidden and never taken. A sync
// tool's or an editor's file is hidden on purpose and passes in silence; a
// name that reads as a message (".promo.wav") was most likely hidden by
// mistake, and is said once while it is there.
void MessageRotation::reportHidden(const QStringList& names) {
    QSet<QString> present;
    for (const QString& name : names) {
        if (!LooksHiddenByMistake(name))
            continue;
        present.insert(name);
        if (hiddenReported_.contains(name))
            continue;
        p_.log.write(QStringLiteral("O arquivo %1 está oculto (o nome começa com ponto) e não vai "
                                    "ao ar; renomeie-o sem o ponto inicial para que ele possa ir "
                                    "ao ar.")
                         .arg(ShownName(name)));
    }
    hiddenReported_ = present;
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
                             .arg(ShownName(repaired)));
        } catch (const FileError& e) {
            if (badNamesReported_.contains(bytes))
                continue;
            badNamesReported_.insert(bytes);
            p_.log.write(QStringLiteral("O arquivo %1 da pasta de reposição tem um nome que não "
                                        "é texto UTF-8 válido e não pôde ser renomeado (%2); "
                                        "renomeie-o para que ele possa ir ao ar.")
                             .arg(ShownName(RepairedName(bytes)), e.text()));
        }
    }
    return repairedNames;
}

void MessageRotation::setAsideNotAudio(const QString& folder, const QList<Seen>& files) {
    QStringList moved;
    for (const Seen& file : files) {
        // Gone or written again since the look: nothing to set aside now.
        if (p_.files.stamp(file.path) != file.stamp)
            continue;
        try {
            MoveAside(p_.files, folder, file.name, kNotAudioFolder);
            moved << file.name;
        } catch (const FileError& e) {
            passedOver_.add(file.path, file.stamp);
            p_.log.write(QStringLiteral("O arquivo %1 não é uma mensagem (%2) e não pôde ser "
                                        "movido para a pasta \"%3\": %4. Ele fica na pasta de "
                                        "reposição, ignorado até ser alterado.")
                             .arg(ShownName(file.name), kMessageRule, kNotAudioFolder, e.text()));
        }
    }
    if (moved.size() > kLinesPerSetAside) {
        p_.log.write(QStringLiteral("%1 arquivos que não são mensagens (%2), de %3 a %4, foram "
                                    "movidos para a pasta \"%5\" da pasta de reposição.")
                         .arg(QString::number(moved.size()), kMessageRule, ShownName(moved.front()),
                              ShownName(moved.back()), kNotAudioFolder));
        return;
    }
    for (const QString& name : moved) {
        p_.log.write(QStringLiteral("O arquivo %1 não é uma mensagem (%2) e foi movido para a "
                                    "pasta \"%3\" da pasta de reposição.")
                         .arg(ShownName(name), kMessageRule, kNotAudioFolder));
    }
}

void MessageRotation::setAsideUnplayable(const Seen& file, const QString& folder,
                                         AudioProbe::Verdict verdict) {
    const QString why = [&] {
        switch (verdict) {
            case AudioProbe::Verdict::Silent:
                return QStringLiteral("só contém silêncio");
            case AudioProbe::Verdict::BadRate:
                return QStringLiteral("tem uma taxa de amostragem fora da faixa de %1 a %2 kHz")
                    .arg(AudioProbe::kLowestRate / 1000)
                    .arg(AudioProbe::kHighestRate / 1000);
            case AudioProbe::Verdict::TooShort:
                return QStringLiteral("dura menos de meio segundo");
            case AudioProbe::Verdict::Playable:
            case AudioProbe::Verdict::Undecodable:
                break;
        }
        return QStringLiteral("não pôde ser lido");
    }();
    try {
        const QString aside = Joined(Joined(folder, kUnplayableFolder),
                                     MoveAside(p_.files, folder, file.name, kUnplayableFolder));
        if (const auto stamp = p_.files.stamp(aside))
            setAside_.insert(aside, *stamp);
        p_.log.write(QStringLiteral("O arquivo de áudio %1 %2 e foi movido para a pasta \"%3\"; "
                                    "a mensagem atual continua no ar.")
                         .arg(ShownName(file.name), why, kUnplayableFolder));
    } catch (const FileError&) {
        // It stays, but the checks pass over it (until it changes), so the
        // files behind it still come on air.
        passedOver_.add(file.path, file.stamp);
        p_.log.write(QStringLiteral("O arquivo de áudio %1 %2 e fica na pasta de reposição sem ir "
                                    "ao ar; a mensagem atual continua no ar.")
                         .arg(ShownName(file.name), why));
    }
}

// The dropped file is the message on air, same name and same bytes: a swap
// whose dropped file could not be deleted (a read-only drop folder), seen
// again after a restart, or one that a crash cut short before deleting it.
// Nothing is swapped: the file goes as its swap would have taken it, or,
// when it cannot, is passed over until it changes.
bool MessageRotation::isOnAirAlready(const Seen& file) {
    const QString& onAir = p_.onAir.file;
    if (onAir.isEmpty() || QFileInfo(onAir).fileName() != file.name ||
        !p_.files.sameContent(file.path, onAir))
        return false;
    try {
        p_.files.remove(file.path);
        p_.log.write(QStringLiteral("O arquivo %1 é igual à mensagem no ar e foi apagado da pasta "
                                    "de reposição; nada foi trocado.")
                         .arg(ShownName(file.name)));
    } catch (const FileError&) {
        passedOver_.add(file.path, file.stamp);
        p_.log.write(QStringLiteral("O arquivo %1 é igual à mensagem no ar e fica na pasta de "
                                    "reposição; nada foi trocado.")
                         .arg(ShownName(file.name)));
    }
    return true;
}

// A file set aside as unplayable that has changed since and stands still
// again, with no writer, to be looked at where it lies.
std::optional<MessageRotation::Seen> MessageRotation::changedSetAside() {
    std::optional<Seen> found;
    QStringList paths = setAside_.keys();
    SortByName(paths, p_.formats.locale());
    for (const QString& path : paths) {
        const auto stamp = p_.files.stamp(path);
        if (!stamp) {
            setAside_.remove(path);
            continue;
        }
        const SettleWatch::State state = settle_.look(path, *stamp);
        if (!found && *stamp != setAside_.value(path) && state == SettleWatch::State::Settled &&
            !p_.files.hasWriters(path))
            found = Seen{{path, QFileInfo(path).fileName(), *stamp}, state, true};
    }
    return found;
}

// What can be known before the message on air stops: the file plays, and
// the message folder can take it under its name.
bool MessageRotation::canTakeInto(const Seen& file) {
    const AudioProbe::Verdict verdict = p_.probe.examine(file.path);
    // Gone or changed while it was read: not judged on what was read.
    if (verdict != AudioProbe::Verdict::Playable && !stillThere(file))
        return false;
    if (verdict != AudioProbe::Verdict::Playable && file.setAside) {
        // Still unplayable where it lies: looked at again when it changes.
        setAside_.insert(file.path, file.stamp);
        p_.log.write(QStringLiteral("O arquivo de áudio %1 da pasta \"%2\" foi alterado, mas "
                                    "ainda não pode ir ao ar; ele fica lá.")
                         .arg(ShownName(file.name), kUnplayableFolder));
        return false;
    }
    if (verdict != AudioProbe::Verdict::Playable) {
        setAsideUnplayable(file, QFileInfo(file.path).absolutePath(), verdict);
        return false;
    }
    const QString folder = messages_.path();
    const qsizetype length = QFile::encodeName(file.name).size();
    const int longest = p_.files.longestName(folder);
    if (length > longest) {
        passedOver_.add(file.path, file.stamp);
        p_.log.write(
            QStringLiteral("O nome do arquivo %1 é longo demais para a pasta de mensagens "
                           "(%2 bytes; o máximo é %3). Ele fica na pasta de reposição, "
                           "fora do ar, até ser renomeado.")
                .arg(ShownName(file.name), QString::number(length), QString::number(longest)));
        return false;
    }
    messageFolderReport_.clear();
    return true;
}

bool MessageRotation::messageFolderTakesFiles() {
    const QString folder = messages_.path();
    const auto stamp = p_.files.stamp(folder);
    if (stamp && stamp->folder) {
        if (const auto why = p_.files.refusesWrites(folder)) {
            messageFolderReport_.write(
                QStringLiteral("A pasta de mensagens %1 não aceita gravação (%2); a troca "
                               "fica para a próxima verificação e a mensagem atual "
                               "continua no ar.")
                    .arg(ShownName(folder), *why));
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
        messageFolderReport_.write(
            QStringLiteral("A pasta de mensagens %1 não existe e não pôde ser criada; a "
                           "troca fica para a próxima verificação.")
                .arg(ShownName(folder)));
        return false;
    }
    messageFolderReport_.clear();
    p_.log.write(QStringLiteral("A pasta de mensagens %1 não existia e foi criada novamente.")
                     .arg(ShownName(folder)));
    return true;
}

void MessageRotation::resume() {
    resumeTimer_->setEnabled(false);
    checkTimer_->setEnabled(true);
    transaction_.endSuspension();
    // What arrived during the swap and the wait after it.
    if (std::exchange(changesPending_, false) && p_.state.channel.active)
        startSettle();
}

void MessageRotation::endCheck() {
    resumeTimer_->setEnabled(true);
}

}  // namespace quindra
