#pragma once

#include <QLocale>
#include <QString>

namespace quindra {

class AudioProbe;
class FileOperations;
class MessageLog;
struct FileStamp;
struct Paths;

// The program's own folder that holds the message on air, and only it.
// What else is found there (left by a crash or put there by hand) is dealt
// with in the open: other messages deleted, anything that is not a message
// moved into its sub-folder "Ignorados", unplayable audio into "Inválidos".
class MessageFolder {
public:
    // The hidden name under which a new message is copied beside the old one.
    // The listing never shows it, so a copy cut short (even by a crash) is
    // never taken for the message on air.
    static const QString kStagedName;

    MessageFolder(const Paths& paths, FileOperations& files, AudioProbe& probe, MessageLog& log,
                  const QLocale& locale);

    QString path() const;
    QString stagedPath() const;

    // Start-up: removes what an interrupted swap left, and returns the message
    // on air: `preferredName` (the one the history names) when it is there and
    // plays, else the first file by name that plays; empty when none does.
    // The other messages are moved aside, but a copy of a file that is still
    // in `dropFolder` under the same name (a swap cut short before the history
    // was written) is deleted: the file itself comes on air at a check.
    // Throws FileError when the folder cannot be read.
    QString chooseMessageOnAir(const QString& preferredName, const QString& dropFolder = {});

    // After a swap: every file but the new message `keep` and `skip` (the old
    // one, dealt with by its owner) leaves the folder.
    void clearLeftovers(const FileStamp& keep, const QString& skip);

private:
    void setAside(const QString& name, const QString& subfolder, const QString& line);
    void removeLeftover(const QString& name);
    bool removeCopyOfDropped(const QString& name, const QString& dropFolder);

    const Paths& paths_;
    FileOperations& files_;
    AudioProbe& probe_;
    MessageLog& log_;
    const QLocale& locale_;
};

// Only ".wav" and ".mp3" are messages, in any letter case (".WAV", ".Mp3"):
// the extension is the text from the last dot on.
bool IsMessageName(const QString& name);

}  // namespace quindra
