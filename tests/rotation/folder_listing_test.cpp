#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "rotation/FolderListing.h"
#include "rotation/LinuxFileOperations.h"
#include "rotation/SetAside.h"

using namespace quindra;

namespace {

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

// The order is the operator's locale's, whatever the system's locale: this
// test also runs under LANG=C.UTF-8, where "Árvore" would otherwise sort
// after "zeta".
TEST(FolderListing, PlainVisibleFilesByNameWithoutRegardToCase) {
    QTemporaryDir tmp;
    const QString d = tmp.path();
    for (const char* n : {"zeta.wav", "Bravo.MP3", "alfa.wav", "Árvore.wav", "sem extensao",
                          "a.b.c.mp3", ".oculto.wav", "Éramos.wav", "ALFA.wav", "ermo.wav"})
        touch(d + QLatin1Char('/') + QString::fromUtf8(n));
    QDir(d).mkdir(QStringLiteral("Apasta"));
    QFile::link(d + QStringLiteral("/ausente"), d + QStringLiteral("/link-quebrado"));
    QFile::link(d + QStringLiteral("/laco"), d + QStringLiteral("/laco"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(d + QStringLiteral("/fila")).constData(), 0600), 0);
    QFile::link(d + QStringLiteral("/zeta.wav"), d + QStringLiteral("/link.wav"));

    LinuxFileOperations files;
    const QStringList expected{QStringLiteral("a.b.c.mp3"),    QStringLiteral("ALFA.wav"),
                               QStringLiteral("alfa.wav"),     QStringLiteral("Árvore.wav"),
                               QStringLiteral("Bravo.MP3"),    QStringLiteral("Éramos.wav"),
                               QStringLiteral("ermo.wav"),     QStringLiteral("link.wav"),
                               QStringLiteral("sem extensao"), QStringLiteral("zeta.wav")};
    EXPECT_EQ(FolderListing(files, d, QLocale(QStringLiteral("pt_BR"))), expected);

    // A trailing separator, or a file of the folder, names the same folder.
    EXPECT_EQ(ListedFolder(files, d + QLatin1Char('/')), d);
    EXPECT_EQ(ListedFolder(files, d + QStringLiteral("/zeta.wav")), d);
    EXPECT_EQ(ListedFolder(files, QStringLiteral("/")), QStringLiteral("/"));
}

TEST(FolderListing, MissingUnreadableAndUndecodable) {
    QTemporaryDir tmp;
    LinuxFileOperations files;
    EXPECT_TRUE(files.list(tmp.path()).names.isEmpty());
    EXPECT_EQ(ListedFolder(files, tmp.path() + QStringLiteral("/nada")), std::nullopt);
    EXPECT_EQ(ListedFolder(files, QString()), std::nullopt);
    EXPECT_THROW(files.list(tmp.path() + QStringLiteral("/nada")), FileError);
    EXPECT_THROW(files.list(QStringLiteral("/etc/hostname")), FileError);

    // A name in another encoding comes apart as its bytes, and its text form
    // reads its stray bytes as Latin-1.
    const QByteArray latin1 = "Promo\xe7\xe3o \xff.wav";
    touch(tmp.path() + QStringLiteral("/boa.wav"));
    const QByteArray raw = QFile::encodeName(tmp.path()) + '/' + latin1;
    const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const FolderEntries entries = files.list(tmp.path());
    EXPECT_EQ(entries.names, QStringList{QStringLiteral("boa.wav")});
    EXPECT_EQ(entries.undecodableNames, QList<QByteArray>{latin1});
    EXPECT_EQ(RepairedName(latin1), QStringLiteral("Promoção ÿ.wav"));
    EXPECT_EQ(RepairedName("Ação \xe9.wav"), QStringLiteral("Ação é.wav"));
}

}  // namespace
