#include "rotation/MessageFolder.h"

#include <QStringList>

#include "core/MessageLog.h"
#include "core/Runtime.h"
#include "core/ShownName.h"
#include "ports/AudioProbe.h"
#include "rotation/FileOperations.h"
#include "rotation/FolderListing.h"
#include "rotation/SetAside.h"

namespace quindra {

const QString MessageFolder::kStagedName = QStringLiteral(".nova-mensagem.tmp");

bool IsMessageName(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot);
    return extension.compare(QLatin1String(".mp3"), Qt::CaseInsensitive) == 0 ||
           extension.compare(QLatin1String(".wav"), Qt::CaseInsensitive) == 0;
}

MessageFolder::MessageFolder(const Paths& paths, FileOperations& files, AudioProbe& probe,
                             MessageLog& log, const QLocale& locale)
    : paths_(paths), files_(files), probe_(probe), log_(log), locale_(locale) {}

QString MessageFolder::path() const {
    return paths_.messageFolder();
}

QString MessageFolder::stagedPath() const {
    return Joined(path(), kStagedName);
}

namespace {

// The message already on air keeps playing when it is only shorter than a
// new one may be: moving it aside would leave the line silent. What cannot
// be played in real time, or holds no sound, is set aside.
bool playsAtStart(AudioProbe::Verdict verdict) {
    return verdict == AudioProbe::Verdict::Playable || verdict == AudioProbe::Verdict::TooShort;
}

}  // namespace

QString MessageFolder::chooseMessageOnAir(const QString& preferredName, const QString& dropFolder) {
    const QString folder = path();
    if (files_.stamp(stagedPath())) {
        try {
            files_.remove(stagedPath());
            log_.write(QStringLiteral(
                "A cópia deixada por uma troca interrompida foi apagada da pasta de mensagens."));
        } catch (const FileError&) {
        }
    }

    QStringList messages;
    for (const QString& name : FolderListing(files_, folder, locale_)) {
        if (IsMessageName(name)) {
            messages << name;
            continue;
        }
        setAside(name, kNotAudioFolder,
                 QStringLiteral("O arquivo %1 não é uma mensagem e foi movido da pasta de "
                                "mensagens para a pasta \"%2\" dela."));
    }
    if (messages.removeOne(preferredName))
        messages.prepend(preferredName);

    QString chosen;
    for (const QString& name : messages) {
        if (!chosen.isEmpty()) {
            if (!removeCopyOfDropped(name, dropFolder))
                removeLeftover(name);
        } else if (playsAtStart(probe_.examine(Joined(folder, name)))) {
            chosen = name;
        } else {
            setAside(name, kUnplayableFolder,
                     QStringLiteral("O arquivo de áudio %1 da pasta de mensagens não pôde ser "
                                    "lido e foi movido para a pasta \"%2\" dela."));
        }
    }
    return chosen.isEmpty() ? QString() : Joined(folder, chosen);
}

void MessageFolder::clearLeftovers(const FileStamp& keep, const QString& skip) {
    const QString folder = path();
    FolderEntries entries;
    try {
        entries = files_.list(folder);
    } catch (const FileError&) {
        return;
    }
    for (const QString& name : entries.names) {
        const QString file = Joined(folder, name);
        const auto stamp = files_.stamp(file);
        if (file == skip || !stamp || stamp->sameFileAs(keep))
            continue;
        if (IsMessageName(name)) {
            removeLeftover(name);
        } else {
            setAside(name, kNotAudioFolder,
                     QStringLiteral("O arquivo %1 não é uma mensagem e foi movido da pasta de "
                                    "mensagens para a pasta \"%2\" dela."));
        }
    }
}

void MessageFolder::setAside(const QString& name, const QString& subfolder, const QString& line) {
    try {
        MoveAside(files_, path(), name, subfolder);
        log_.write(line.arg(ShownName(name), subfolder));
    } catch (const FileError& e) {
        log_.write(QStringLiteral("O arquivo %1 da pasta de mensagens não pôde ser movido para a "
                                  "pasta \"%2\" dela: %3")
                       .arg(ShownName(name), subfolder, e.text()));
    }
}

bool MessageFolder::removeCopyOfDropped(const QString& name, const QString& dropFolder) {
    const QString copy = Joined(path(), name);
    if (dropFolder.isEmpty() || !files_.sameContent(copy, Joined(dropFolder, name)))
        return false;
    try {
        files_.remove(copy);
    } catch (const FileError&) {
        return false;
    }
    log_.write(QStringLiteral("A cópia de %1 deixada na pasta de mensagens por uma troca "
                              "interrompida foi apagada; o arquivo continua na pasta de "
                              "reposição.")
                   .arg(ShownName(name)));
    return true;
}

// Another message beside the one on air (left by a crash, or put there by
// hand) is the operator's file too: it is moved aside, never deleted.
void MessageFolder::removeLeftover(const QString& name) {
    setAside(name, kNotAudioFolder,
             QStringLiteral("O arquivo %1 foi movido da pasta de mensagens para a pasta \"%2\" "
                            "dela, que guarda só a mensagem no ar."));
}

}  // namespace quindra
