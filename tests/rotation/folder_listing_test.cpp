#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "rotation/FolderListing.h"

using namespace quindra;

namespace {

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

TEST(FolderListing, PlainVisibleFilesByNameWithoutRegardToCase) {
    QTemporaryDir tmp;
    const QString d = tmp.path();
    for (const char* n : {"zeta.wav", "Bravo.MP3", "alfa.wav", "Árvore.wav", "sem extensao",
                          "a.b.c.mp3", ".oculto.wav"})
        touch(d + QLatin1Char('/') + QString::fromUtf8(n));
    QDir(d).mkdir(QStringLiteral("Apasta"));
    QFile::link(d + QStringLiteral("/ausente"), d + QStringLiteral("/link-quebrado"));

    const QStringList expected{QStringLiteral("a.b.c.mp3"),    QStringLiteral("alfa.wav"),
                               QStringLiteral("Árvore.wav"),   QStringLiteral("Bravo.MP3"),
                               QStringLiteral("sem extensao"), QStringLiteral("zeta.wav")};
    EXPECT_EQ(FolderListing(d), expected);
    // A trailing separator, or a file of the folder, names the same folder.
    EXPECT_EQ(FolderListing(d + QLatin1Char('/')), expected);
    EXPECT_EQ(FolderListing(d + QStringLiteral("/zeta.wav")), expected);
    EXPECT_EQ(FirstFilePath(d + QStringLiteral("/zeta.wav")), d + QStringLiteral("/a.b.c.mp3"));
}

TEST(FolderListing, EmptyFolderAndMissingPath) {
    QTemporaryDir tmp;
    EXPECT_TRUE(FolderListing(tmp.path()).isEmpty());
    EXPECT_EQ(FirstFilePath(tmp.path()), QString());
    EXPECT_THROW(FolderListing(tmp.path() + QStringLiteral("/nada")), FolderListingError);
    EXPECT_THROW(FolderListing(QString()), FolderListingError);
}

}  // namespace
