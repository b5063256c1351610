#include "rotation/DropFolderGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <algorithm>

#include "core/Runtime.h"
#include "rotation/FileOperations.h"

namespace quindra {

namespace {

// Where a rule's folder is.
enum class Place {
    Fixed,       // the path written in the rule
    Home,        // the user's home folder
    Messages,    // the program's message folder
    Store,       // the folder of the settings store
    Program,     // the folder that holds the message folder
    Executable,  // the folder of the running binary
};

// How a rule's folder meets the drop folder.
enum class Reach {
    Itself,    // the drop folder is that folder
    Children,  // the drop folder is right inside it
    Below,     // the drop folder is inside it, at any depth
    Holds,     // the drop folder holds it, at any depth
};

struct FolderRule {
    Place place;
    const char* path;  // for Place::Fixed
    Reach reach;
    // Completes "... não pode ser usada porque"; null: the folder may be used.
    const char* refusal;
};

constexpr const char* kAllowed = nullptr;
constexpr const char* kSystem = "é uma pasta do sistema";
constexpr const char* kInSystem = "fica dentro de uma pasta do sistema";
constexpr const char* kMountPoints =
    "é a pasta onde os volumes são montados; escolha uma pasta "
    "dentro de um volume";

// Read from the top: the first rule that meets the drop folder decides.
constexpr FolderRule kFolderRules[] = {
    // The system's files.
    {Place::Fixed, "/", Reach::Itself, kSystem},
    {Place::Fixed, "/boot", Reach::Itself, kSystem},
    {Place::Fixed, "/boot", Reach::Below, kInSystem},
    {Place::Fixed, "/dev", Reach::Itself, kSystem},
    {Place::Fixed, "/dev", Reach::Below, kInSystem},
    {Place::Fixed, "/etc", Reach::Itself, kSystem},
    {Place::Fixed, "/etc", Reach::Below, kInSystem},
    {Place::Fixed, "/proc", Reach::Itself, kSystem},
    {Place::Fixed, "/proc", Reach::Below, kInSystem},
    {Place::Fixed, "/run", Reach::Itself, kSystem},
    {Place::Fixed, "/run", Reach::Below, kInSystem},
    {Place::Fixed, "/sys", Reach::Itself, kSystem},
    {Place::Fixed, "/sys", Reach::Below, kInSystem},
    {Place::Fixed, "/usr", Reach::Itself, kSystem},
    {Place::Fixed, "/usr", Reach::Below, kInSystem},
    {Place::Fixed, "/tmp", Reach::Itself, kSystem},
    {Place::Fixed, "/var", Reach::Itself, kSystem},
    {Place::Fixed, "/opt", Reach::Itself, kSystem},
    {Place::Fixed, "/srv", Reach::Itself, kSystem},
    // The home folder holds everything else the user has.
    {Place::Home, "", Reach::Itself, "é a pasta pessoal do usuário"},
    // The program's own files and the folders that hold them: moving them
    // aside loses the message on air or every setting.
    {Place::Messages, "", Reach::Itself, "é a pasta de mensagens do programa"},
    {Place::Messages, "", Reach::Holds, "contém a pasta de mensagens do programa"},
    {Place::Store, "", Reach::Itself, "é a pasta das configurações do programa"},
    {Place::Store, "", Reach::Holds, "contém a pasta das configurações do programa"},
    {Place::Program, "", Reach::Itself, "é a pasta do programa"},
    {Place::Program, "", Reach::Holds, "contém a pasta do programa"},
    {Place::Executable, "", Reach::Itself, "é a pasta do programa"},
    {Place::Executable, "", Reach::Holds, "contém a pasta do programa"},
    // The user's own folders, also where a service account's home lies
    // under /var, /opt or /srv.
    {Place::Home, "", Reach::Below, kAllowed},
    // Volumes: a user's own, mounted by the desktop as /media/USER/VOLUME,
    // or by hand anywhere below /mnt.
    {Place::Fixed, "/media", Reach::Itself, kMountPoints},
    {Place::Fixed, "/media", Reach::Children, kMountPoints},
    {Place::Fixed, "/media", Reach::Below, kAllowed},
    {Place::Fixed, "/mnt", Reach::Itself, kMountPoints},
    {Place::Fixed, "/mnt", Reach::Below, kAllowed},
    // Other users' homes.
    {Place::Fixed, "/home", Reach::Itself, "é a pasta que reúne as pastas pessoais dos usuários"},
    {Place::Fixed, "/home", Reach::Children, "é a pasta pessoal de outro usuário"},
    {Place::Fixed, "/home", Reach::Below, "fica na pasta pessoal de outro usuário"},
    // Services' and add-on packages' data.
    {Place::Fixed, "/var", Reach::Below, kInSystem},
    {Place::Fixed, "/opt", Reach::Below, kInSystem},
    {Place::Fixed, "/srv", Reach::Below, kInSystem},
};

// A folder and each folder above it, as far up as they exist, by identity,
// each with how many levels it is above the folder (0: the folder itself).
// The walk goes up the real path of the deepest folder that exists, so a
// link into a system tree is caught.
struct Level {
    FileStamp stamp;
    int height;
};

QList<Level> chain(const FileOperations& files, const QString& path) {
    QList<Level> found;
    if (path.isEmpty())
        return found;
    const auto up = [](const QString& at) {
        const qsizetype slash = at.lastIndexOf(QLatin1Char('/'));
        return slash <= 0 ? QStringLiteral("/") : at.left(slash);
    };
    QString at = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    int height = 0;
    while (!files.stamp(at) && at != QLatin1String("/")) {
        at = up(at);
        ++height;
    }
    const QString canonical = QFileInfo(at).canonicalFilePath();
    if (!canonical.isEmpty())
        at = canonical;
    while (true) {
        if (const auto stamp = files.stamp(at))
            found << Level{*stamp, height};
        if (at == QLatin1String("/"))
            break;
        at = up(at);
        ++height;
    }
    return found;
}

QString folderOf(const FolderRule& rule, const Paths& paths) {
    switch (rule.place) {
        case Place::Fixed:
            return QString::fromLatin1(rule.path);
        case Place::Home:
            return paths.homeFolder;
        case Place::Messages:
            return paths.appDir.isEmpty() ? QString() : paths.messageFolder();
        case Place::Store:
            return paths.storeFile.isEmpty() ? QString()
                                             : QFileInfo(paths.storeFile).absolutePath();
        case Place::Program:
            return paths.appDir;
        case Place::Executable:
            return paths.executablePath.isEmpty() ? QString()
                                                  : QFileInfo(paths.executablePath).absolutePath();
    }
    return {};
}

bool meets(const FolderRule& rule, const FileOperations& files, const QList<Level>& drop,
           const QString& ruleFolder) {
    const QList<Level> target = chain(files, ruleFolder);
    // The rule's folder must exist for it to meet anything.
    if (target.isEmpty() || target.front().height != 0)
        return false;
    const FileStamp& folder = target.front().stamp;
    return std::any_of(drop.begin(), drop.end(), [&](const Level& level) {
        switch (rule.reach) {
            case Reach::Itself:
                return level.height == 0 && level.stamp.sameFileAs(folder);
            case Reach::Children:
                return level.height == 1 && level.stamp.sameFileAs(folder);
            case Reach::Below:
                return level.height >= 1 && level.stamp.sameFileAs(folder);
            case Reach::Holds:
                return level.height == 0 &&
                       std::any_of(target.begin() + 1, target.end(), [&](const Level& above) {
                           return above.stamp.sameFileAs(level.stamp);
                       });
        }
        return false;
    });
}

}  // namespace

DropFolderGuard::DropFolderGuard(const FileOperations& files, const Paths& paths)
    : files_(files), paths_(paths) {}

std::optional<QString> DropFolderGuard::refusal(const QString& folder) const {
    if (folder.isEmpty())
        return std::nullopt;
    if (QDir::isRelativePath(folder)) {
        return QStringLiteral(
            "é um caminho relativo, que dependeria da pasta em que o programa "
            "foi iniciado; informe o caminho completo, começando por \"/\"");
    }
    const QList<Level> drop = chain(files_, folder);
    for (const FolderRule& rule : kFolderRules) {
        const QString ruleFolder = folderOf(rule, paths_);
        if (ruleFolder.isEmpty() || !meets(rule, files_, drop, ruleFolder))
            continue;
        if (rule.refusal == kAllowed)
            return std::nullopt;
        return QString::fromUtf8(rule.refusal);
    }
    return std::nullopt;
}

}  // namespace quindra
