#pragma once

#include <QSet>
#include <QString>
#include <functional>
#include <memory>

#include "core/EventLoop.h"

namespace quindra {

class AudioProbe;
class Clock;
class FileOperations;
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
class MessageRotation {
public:
    static constexpr int kCheckIntervalMs = 30000;
    static constexpr int kResetMs = 3000;
    static constexpr int kLimpaVarMs = 7000;
    static constexpr int kPauseAfterResetMs = 750;
    static constexpr int kPauseBeforeStartMs = 250;
    // A file changed more recently than this may still be being written.
    static constexpr int kSettleMs = 2000;

    struct Ports {
        EventLoop& loop;
        Registry& registry;
        const Clock& clock;
        const LocaleFormats& formats;
        SwapFlags& swap;      // written here: ReplaySuspended, SwapPauseActive
        MessageOnAir& onAir;  // written here: CurrentAudioFile
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

    // Start-up: the message on air is the first file of the message folder
    // (created when missing), and the watch lists the drop folder from now
    // on. A message folder that cannot be listed leaves nothing on air; its
    // failure is thrown once the rest is done.
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

    // Where a dropped file that cannot be played is put, inside the drop
    // folder; the watch lists no folders, so it never comes back.
    static const QString kSetAsideFolder;

private:
    QString stage(const QString& newFile, const QString& drop);
    void exchange(const QString& newFile, const QString& staged);
    QString dropFolder();
    bool messageFolderReady();
    QString firstCandidate(const QString& folder) const;
    void setAside(const QString& file, const QString& dropFolder, bool silent);
    QString setAsideKey(const QString& file) const;
    bool suspendPlayback();
    void writeHistory(const QString& newName, const QString& oldName);
    void showHistory();
    void startNewMessage();
    void playCurrentQuietly();
    bool tryRemove(const QString& path);
    void reportOnce(QString& lastReport, const QString& line);
    void endCheck();

    Ports p_;
    std::function<void()> swapDone_;
    std::unique_ptr<Timer> tVerificaArquivo_;
    std::unique_ptr<Timer> tReset_;
    std::unique_ptr<Timer> tLimpaVar_;

    QString knownSetting_;  // the last drop-folder setting that named something
    QString knownFolder_;   // and the folder it meant
    QString dropReport_;    // the last line about the drop folder itself
    QString messageFolderReport_;
    QSet<QString> setAside_;  // unplayable files that could not be moved away
    bool replayOwed_ = false;
};

}  // namespace quindra
