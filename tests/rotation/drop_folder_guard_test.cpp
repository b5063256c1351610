#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <optional>

#include "core/Runtime.h"
#include "rotation/DropFolderGuard.h"
#include "support/FakeFiles.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

// The program in app/, its store in config/quindra/, the user's home in
// home/op. The machine's /home, /media and /mnt are stood in for by folders
// of the test (aliases), so what this machine has there changes nothing.
class Guard : public ::testing::Test {
public:
    Guard() {
        for (const char* folder : {"app/Audio", "config/quindra", "home/op/espera", "home/outro/x",
                                   "media/op/pendrive/espera", "mnt/rede/espera"})
            QDir(tmp.path()).mkpath(QString::fromLatin1(folder));
        paths.appDir = tmp.path() + QStringLiteral("/app/");
        paths.executablePath = paths.appDir + QStringLiteral("espera");
        paths.storeFile = tmp.path() + QStringLiteral("/config/quindra/registry.db");
        paths.homeFolder = QStringLiteral("/home/op");
        for (const char* top : {"home", "media", "mnt"}) {
            files.aliases.insert(QLatin1Char('/') + QString::fromLatin1(top),
                                 tmp.path() + QLatin1Char('/') + QString::fromLatin1(top));
        }
    }

    QTemporaryDir tmp;
    Paths paths;
    FakeFileOperations files;
    DropFolderGuard guard{files, paths};
};

struct GuardCase {
    const char* name;
    std::function<QString(Guard&)> folder;
    std::optional<QString> refusal;  // nothing: the folder may be used
};

void PrintTo(const GuardCase& c, std::ostream* os) {
    *os << c.name;
}

class GuardCases : public Guard, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(GuardCases, RefusesWhatIsNotTheOperatorsAndSaysWhy) {
    const GuardCase& c = GetParam();
    EXPECT_EQ(guard.refusal(c.folder(*this)), c.refusal);
}

QString in(Guard& g, const char* path) {
    return g.tmp.path() + QLatin1Char('/') + QString::fromLatin1(path);
}

const QString kInSystem = QStringLiteral("fica dentro de uma pasta do sistema");
const QString kMountPoints =
    QStringLiteral("é a pasta onde os volumes são montados; escolha uma pasta dentro de um volume");

INSTANTIATE_TEST_SUITE_P(
    Folders, GuardCases,
    ::testing::Values(
        // The store's folder: taking its files loses every setting.
        GuardCase{"TheStoresFolder", [](Guard& g) { return in(g, "config/quindra"); },
                  QStringLiteral("é a pasta das configurações do programa")},
        GuardCase{"AFolderThatHoldsTheStore", [](Guard& g) { return in(g, "config"); },
                  QStringLiteral("contém a pasta das configurações do programa")},
        GuardCase{"TheStoresFolderThroughALink",
                  [](Guard& g) {
                      QFile::link(in(g, "config/quindra"), in(g, "atalho"));
                      return in(g, "atalho");
                  },
                  QStringLiteral("é a pasta das configurações do programa")},
        // Services' files, run as root or not.
        GuardCase{"VarLog", [](Guard&) { return QStringLiteral("/var/log"); }, kInSystem},
        GuardCase{"Var", [](Guard&) { return QStringLiteral("/var"); },
                  QStringLiteral("é uma pasta do sistema")},
        GuardCase{"BelowOpt", [](Guard&) { return QStringLiteral("/opt/novo/espera"); }, kInSystem},
        GuardCase{"BelowSrv", [](Guard&) { return QStringLiteral("/srv/espera"); }, kInSystem},
        // A folder that does not exist yet, right inside a system folder or deeper.
        GuardCase{"ANewFolderInEtc", [](Guard&) { return QStringLiteral("/etc/quindra-nova"); },
                  kInSystem},
        GuardCase{"ANewFolderDeepInEtc",
                  [](Guard&) { return QStringLiteral("/etc/quindra-nova/a/b"); }, kInSystem},
        // Homes: the folder of all of them, another user's, the user's own.
        GuardCase{"Home", [](Guard&) { return QStringLiteral("/home"); },
                  QStringLiteral("é a pasta que reúne as pastas pessoais dos usuários")},
        GuardCase{"AnotherUsersHome", [](Guard&) { return QStringLiteral("/home/outro"); },
                  QStringLiteral("é a pasta pessoal de outro usuário")},
        GuardCase{"InsideAnotherUsersHome", [](Guard&) { return QStringLiteral("/home/outro/x"); },
                  QStringLiteral("fica na pasta pessoal de outro usuário")},
        GuardCase{"TheUsersOwnHome", [](Guard&) { return QStringLiteral("/home/op/"); },
                  QStringLiteral("é a pasta pessoal do usuário")},
        GuardCase{"InsideTheUsersOwnHome", [](Guard&) { return QStringLiteral("/home/op/espera"); },
                  std::nullopt},
        // A service account whose home lies under /var keeps its own folders.
        GuardCase{"InsideAHomeUnderVar",
                  [](Guard& g) {
                      g.paths.homeFolder = QStringLiteral("/var/log");
                      return QStringLiteral("/var/log/apt");
                  },
                  std::nullopt},
        // Mounted volumes: a user's own below /media/USER, anything below /mnt.
        GuardCase{"Media", [](Guard&) { return QStringLiteral("/media"); }, kMountPoints},
        GuardCase{"AUsersMediaFolder", [](Guard&) { return QStringLiteral("/media/op"); },
                  kMountPoints},
        GuardCase{"OnAUsersVolume",
                  [](Guard&) { return QStringLiteral("/media/op/pendrive/espera"); }, std::nullopt},
        GuardCase{"Mnt", [](Guard&) { return QStringLiteral("/mnt/"); }, kMountPoints},
        GuardCase{"BelowMnt", [](Guard&) { return QStringLiteral("/mnt/rede/espera"); },
                  std::nullopt},
        // A relative path means the folder the program happened to start in.
        GuardCase{"Dot", [](Guard&) { return QStringLiteral("."); },
                  QStringLiteral("é um caminho relativo, que dependeria da pasta em que o "
                                 "programa foi iniciado; informe o caminho completo, começando "
                                 "por \"/\"")},
        GuardCase{"RelativeName", [](Guard&) { return QStringLiteral("espera/novas"); },
                  QStringLiteral("é um caminho relativo, que dependeria da pasta em que o "
                                 "programa foi iniciado; informe o caminho completo, começando "
                                 "por \"/\"")},
        GuardCase{"AnOrdinaryFolder", [](Guard& g) { return in(g, "home/op/espera"); },
                  std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
