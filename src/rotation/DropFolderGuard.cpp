#include "rotation/DropFolderGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QStringList>
#include <algorithm>
#include <array>

#include "core/Runtime.h"
#include "rotation/FileOperations.h"

namespace quindra {

namespace {

// Folders whose files belong to the system.
constexpr std::array kSystemFolders{"/",    "/boot", "/dev", "/etc", "/proc",
                                    "/run", "/sys",  "/tmp", "/usr", "/var"};
// Folders nothing below which is the operator's.
constexpr std::array kSystemTrees{"/proc", "/sys", "/dev", "/run", "/boot", "/etc", "/usr"};

// The folder and each folder above it, as far up as they exist, by identity.
// The walk goes up the real path, so a link into a system tree is caught.
QList<FileStamp> chain(const FileOperations& files, const QString& path) {
    QList<FileStamp> found;
    if (path.isEmpty())
        return found;
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    QString at = canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
    while (true) {
        if (const auto stamp = files.stamp(at))
            found << *stamp;
        if (at == QLatin1String("/") || at.isEmpty())
            break;
        const qsizetype slash = at.lastIndexOf(QLatin1Char('/'));
        at = slash <= 0 ? QStringLiteral("/") : at.left(slash);
    }
    return found;
}

bool isAnyOf(const FileStamp& folder, const QList<FileStamp>& others) {
    return std::any_of(others.begin(), others.end(),
                       [&](const FileStamp& o) { return folder.sameFileAs(o); });
}

template <std::size_t N>
QList<FileStamp> stamps(const FileOperations& files, const std::array<const char*, N>& paths) {
    QList<FileStamp> found;
    for (const char* p : paths) {
        if (const auto stamp = files.stamp(QString::fromLatin1(p)))
            found << *stamp;
    }
    return found;
}

}  // namespace

DropFolderGuard::DropFolderGuard(const FileOperations& files, const Paths& paths)
    : files_(files), paths_(paths) {}

std::optional<QString> DropFolderGuard::refusal(const QString& folder) const {
    const QList<FileStamp> drop = chain(files_, folder);
    // A folder that does not exist yet is judged by the folders above it.
    const bool exists = files_.stamp(folder).has_value();
    if (drop.isEmpty())
        return std::nullopt;
    const QList<FileStamp> above = exists ? drop.mid(1) : drop;

    if (exists && isAnyOf(drop.front(), stamps(files_, kSystemFolders)))
        return QStringLiteral("é uma pasta do sistema");
    const QList<FileStamp> trees = stamps(files_, kSystemTrees);
    if (std::any_of(above.begin(), above.end(),
                    [&](const FileStamp& f) { return isAnyOf(f, trees); }))
        return QStringLiteral("fica dentro de uma pasta do sistema");
    if (!exists)
        return std::nullopt;

    const FileStamp& self = drop.front();
    if (const auto home = files_.stamp(paths_.homeFolder);
        !paths_.homeFolder.isEmpty() && home && self.sameFileAs(*home))
        return QStringLiteral("é a pasta pessoal do usuário");

    const QList<FileStamp> messages = chain(files_, paths_.messageFolder());
    if (!messages.isEmpty() && files_.stamp(paths_.messageFolder())) {
        if (self.sameFileAs(messages.front()))
            return QStringLiteral("é a pasta de mensagens do programa");
        if (isAnyOf(self, messages))
            return QStringLiteral("contém a pasta de mensagens do programa");
    }
    QStringList programFolders;
    if (!paths_.appDir.isEmpty())
        programFolders << paths_.appDir;
    if (!paths_.executablePath.isEmpty())
        programFolders << QFileInfo(paths_.executablePath).absolutePath();
    for (const QString& program : programFolders) {
        if (!files_.stamp(program))
            continue;
        const QList<FileStamp> programChain = chain(files_, program);
        if (self.sameFileAs(programChain.front()))
            return QStringLiteral("é a pasta do programa");
        if (isAnyOf(self, programChain))
            return QStringLiteral("contém a pasta do programa");
    }
    return std::nullopt;
}

}  // namespace quindra
