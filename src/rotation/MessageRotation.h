#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "core/EventLoop.h"
#include "core/ReportOnce.h"
#include "ports/AudioProbe.h"
#include "rotation/DropFolderGuard.h"
#include "rotation/FileOperations.h"
#include "rotation/FolderWatch.h"
#include "rotation/MessageFolder.h"
#include "rotation/SettleWatch.h"
#include "rotation/SwapTransaction.h"

namespace quindra {

class Clock;
class LocaleFormats;
class MessageLog;
class Registry;
class WaveControl;
struct MessageOnAir;
struct Paths;
struct RuntimeState;
struct SwapFlags;

// The drop-folder watch: while the channel is on air, each check takes the
// first file of the drop folder and, when it is a playable message, hands it
// to the swap that puts it on air in place of the old one.
//
// Nothing the operator owns is destroyed: a file that is not a message is
// moved into the drop folder's "Ignorados", one that cannot be played into
// its "Inválidos", and a dropped file is deleted only once its copy is on
// air. A file is taken only once it has stood unchanged for a while: since the
// previous check, or for the short settle that follows its arrival (told by
// the folder watch) or its first sight by a check. Names of files still in
// flight are never touched, and whatever can fail is tried before the
// message on air stops.
class MessageRotation {
public:
    static constexpr int kCheckIntervalMs = 30000;
    // This long after a check ends, the replay's suspension is lifted and
    // the watch resumes.
    static constexpr int kResumeAfterMs = 7000;
    // Above this many files set aside in one check, one line says it for all.
    static constexpr int kLinesPerSetAside = 3;
    // How long a new file must stand still (size, times and inode) before
    // it is taken, when no check-to-check look has seen it stand.
    static constexpr int kSettleMs = 2000;

    struct Ports {
        EventLoop& loop;
        Registry& registry;
        const Clock& clock;
        const LocaleFormats& formats;  // its locale orders the listings
        SwapFlags& swap;               // written by the swap: replaySuspended, pauseActive
        MessageOnAir& onAir;           // written here and by the swap: file and history
        const RuntimeState& state;
        WaveControl& player;
        MessageLog& log;
        const Paths& paths;
        FileOperations& files;
        AudioProbe& probe;
        // Runs whenever the file or the history of onAir changed; may be empty.
        std::function<void()> onAirChanged;
        // A swap's pause begins (true) and ends (false); may be empty.
        std::function<void(bool)> onSwapPause = {};
        // Each message file a look at the drop folder finds, as it finds it,
        // so that it can be measured before it goes on air; may be empty.
        std::function<void(const DroppedFile&)> messageSeen = nullptr;
        // Tells of files as they arrive; none: the checks alone find them.
        FolderWatch* watch = nullptr;
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
    // still can go on air at the first check. A setting that names nothing
    // (a share not mounted yet) is kept: the default folder is watched, said
    // in one line, until the setting's folder exists. A message folder that
    // cannot be listed leaves nothing on air; its failure is thrown once the
    // rest is done.
    void findMessageOnAir();
    // Every way out: the end of a pass restarts nothing and the watch stops.
    void stopForShutdown();

    // Takes the drop folder from the setting's path and keeps it for when
    // the path names nothing any more (a chosen file a swap has taken away).
    void pointListingAt(const QString& path);

    Timer& checkTimer() { return *checkTimer_; }
    Timer& resumeTimer() { return *resumeTimer_; }
    Timer& settleTimer() { return *settleTimer_; }
    SwapTransaction& transaction() { return transaction_; }

private:
    // A file of the drop folder as this check found it.
    struct Seen : DroppedFile {
        SettleWatch::State state;
        bool setAside = false;  // one this program moved into "Inválidos"
    };

    // Who looks into the drop folder: the start-up (before anything is on
    // air), the periodic check, or the look at the end of a settle.
    enum class Look { AtStart, Check, Settle };

    void checkDropFolder();
    void settleLook();
    void changesArrived(const QList<FolderWatch::Event>& events);
    void startSettle();
    void follow(const QString& folder);
    void takeFrom(const QString& drop, const QList<Seen>& seen, Look look);
    void announceArrivals(const QList<Seen>& seen);
    bool stillThere(const Seen& file);
    void reportVanished(const Seen& file);
    void resume();
    void remember(const QString& setting);
    bool settingStood();
    QString dropFolder();
    QString usable(const QString& folder);
    bool refused(const QString& folder);
    QString defaultFolder() const;
    void makeDefaultFolder();
    std::optional<QList<Seen>> lookInto(const QString& folder, Look look);
    // Gives each file a valid name in place; returns the new names.
    QStringList repairNames(const QString& folder, const QList<QByteArray>& names);
    void reportHidden(const QStringList& names);
    void setAsideNotAudio(const QString& folder, const QList<Seen>& files);
    void setAsideUnplayable(const Seen& file, const QString& folder, AudioProbe::Verdict verdict);
    std::optional<Seen> changedSetAside();
    bool isOnAirAlready(const Seen& file);
    bool canTakeInto(const Seen& file);
    bool messageFolderTakesFiles();
    void endCheck();

    Ports p_;
    std::unique_ptr<Timer> checkTimer_;
    std::unique_ptr<Timer> resumeTimer_;
    std::unique_ptr<Timer> settleTimer_;
    DropFolderGuard guard_;
    MessageFolder messages_;
    SwapTransaction transaction_;
    SettleWatch settle_;  // from check to check
    SettleWatch quick_;   // over a settle: from its start to the look that ends it
    PassedOverFiles passedOver_;

    QString lastSetting_;   // the drop-folder setting as the previous check saw it
    QString knownSetting_;  // the last drop-folder setting that named something
    QString knownFolder_;   // and the folder it meant
    QString lastTried_;     // the file the last swap was tried with
    QString awaited_;       // the setting that named nothing at start, while the default serves
    QString inUse_;         // the drop folder the last check used
    QString followed_;      // the folder the watch was last asked to follow
    std::optional<FileStamp> followedStamp_;
    bool following_ = false;  // the watch tells of that folder's changes
    // Changes told while the watch was paused, looked at when it resumes.
    bool changesPending_ = false;
    ReportOnce dropReport_;  // about the drop folder itself
    ReportOnce listReport_;  // about reading it
    ReportOnce settleReport_;
    ReportOnce messageFolderReport_;
    ReportOnce watchReport_;
    QSet<QByteArray> badNamesReported_;
    QSet<QString> hiddenReported_;
    QSet<QString> received_;  // files whose arrival was said, while they are there
    // Files set aside as unplayable by this program, as they were then: one
    // that changes (a copy that stalled and then went on) is looked at again.
    QHash<QString, FileStamp> setAside_;
};

}  // namespace quindra
