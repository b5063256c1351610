#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <memory>
#include <optional>

#include "core/EventLoop.h"
#include "rotation/DropFolderGuard.h"
#include "rotation/FileOperations.h"
#include "rotation/MessageFolder.h"
#include "rotation/SettleWatch.h"

namespace quindra {

class AudioProbe;
class Clock;
class FormView;
class LocaleFormats;
class MessageLog;
class Registry;
class WaveControl;
struct MessageOnAir;
struct Paths;
struct RuntimeState;
struct SwapFlags;

// The drop-folder watch: while the channel is on air, each check takes the
// first file of the drop folder and, when it is a playable message, puts it
// on air in place of the old one and records the history of the change.
//
// Nothing the operator owns is destroyed: a file that is not a message is
// moved into the drop folder's "Ignorados", one that cannot be played into
// its "Inválidos", and a dropped file is deleted only once its copy is on
// air. A file is taken only once it has stood unchanged since the previous
// check, and whatever can fail is tried before the message on air stops.
class MessageRotation {
public:
    static constexpr int kCheckIntervalMs = 30000;
    static constexpr int kResetMs = 3000;
    static constexpr int kLimpaVarMs = 7000;
    static constexpr int kPauseAfterResetMs = 750;
    static constexpr int kPauseBeforeStartMs = 250;
    // Above this many files set aside in one check, one line says it for all.
    static constexpr int kLinesPerSetAside = 3;

    struct Ports {
        EventLoop& loop;
        Registry& registry;
        const Clock& clock;
        const LocaleFormats& formats;  // its locale orders the listings
        SwapFlags& swap;               // written here: replaySuspended, pauseActive
        MessageOnAir& onAir;           // written here: file
        const RuntimeState& state;
        WaveControl& PlayC1;
        MessageLog& log;
        FormView& view;  // the history labels
        const Paths& paths;
        FileOperations& files;
        AudioProbe& probe;
    };

    // swapDone runs when a new message has gone on air, for the notice mail
    // to decide on; it may be empty.
    MessageRotation(Ports ports, std::function<void()> swapDone);
    ~MessageRotation();
    MessageRotation(const MessageRotation&) = delete;
    MessageRotation& operator=(const MessageRotation&) = delete;

    // Start-up: the message on air is chosen from the message folder (created
    // when missing), which is left holding it alone; a start with nothing to
    // play says how to put a message on air. The watch takes its drop folder
    // from the setting and looks at its files once, so that those that stand
    // still can go on air at the first check. A message folder that cannot
    // be listed leaves nothing on air; its failure is thrown once the rest is
    // done.
    void findMessageOnAir();
    // Start-up: no replay suspended, the next swap pause armed.
    void resetSwapFlags();
    // Every way out: the end of a pass restarts nothing and the watch stops.
    void stopForShutdown();

    // Takes the drop folder from the setting's path and keeps it for when
    // the path names nothing any more (a chosen file a swap has taken away).
    void pointListingAt(const QString& path);

    void tVerificaArquivoTimer();
    void tResetTimer();
    void tLimpaVarTimer();

    Timer& tVerificaArquivo() { return *tVerificaArquivo_; }
    Timer& tReset() { return *tReset_; }
    Timer& tLimpaVar() { return *tLimpaVar_; }

    // Called with the name of each step a swap completes ("copiada",
    // "parada", "renomeada", "historico", "antiga-apagada",
    // "reposicao-apagada"), so a test can stop the program exactly there.
    void setStepHook(std::function<void(QStringView)> hook) { stepHook_ = std::move(hook); }

private:
    // A file of the drop folder as this check found it.
    struct Seen {
        QString path;
        QString name;
        FileStamp stamp;
        SettleWatch::State state;
    };

    void remember(const QString& setting);
    bool settingStood();
    QString dropFolder();
    std::optional<QList<Seen>> lookInto(const QString& folder, bool quietly);
    // Gives each file a valid name in place; returns the new names.
    QStringList repairNames(const QString& folder, const QList<QByteArray>& names);
    void setAsideNotAudio(const QString& folder, const QList<Seen>& files);
    void setAsideUnplayable(const Seen& file, const QString& folder, bool silent);
    bool canTakeInto(const Seen& file);
    QString stage(const Seen& file);
    void exchange(const Seen& file, const QString& staged);
    void removeOldMessage(const QString& old, const std::optional<FileStamp>& oldStamp,
                          const std::optional<FileStamp>& newStamp);
    void removeDropped(const Seen& file);
    bool messageFolderTakesFiles();
    bool suspendPlayback();
    void writeHistory(const QString& newName, const QString& oldName);
    void showHistory();
    void startNewMessage();
    void playCurrentQuietly();
    bool tryRemove(const QString& path);
    void syncQuietly(const QString& folder);
    void reportOnce(QString& lastReport, const QString& line);
    void step(QStringView name);
    void endCheck();

    Ports p_;
    std::function<void()> swapDone_;
    std::function<void(QStringView)> stepHook_;
    std::unique_ptr<Timer> tVerificaArquivo_;
    std::unique_ptr<Timer> tReset_;
    std::unique_ptr<Timer> tLimpaVar_;
    DropFolderGuard guard_;
    MessageFolder messages_;
    SettleWatch settle_;
    PassedOverFiles passedOver_;

    QString lastSetting_;   // the drop-folder setting as the previous check saw it
    QString knownSetting_;  // the last drop-folder setting that named something
    QString knownFolder_;   // and the folder it meant
    QString dropReport_;    // the last line about the drop folder itself
    QString listReport_;    // the last line about reading it
    QString settleReport_;
    QString copyReport_;
    QString messageFolderReport_;
    QSet<QByteArray> badNamesReported_;
    bool replayOwed_ = false;
};

}  // namespace quindra
