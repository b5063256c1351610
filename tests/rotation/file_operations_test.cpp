#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "rotation/LinuxFileOperations.h"

using namespace quindra;

namespace {

class FileOps : public ::testing::Test {
protected:
    QString path(const char* name) const { return tmp.filePath(QString::fromUtf8(name)); }
    void write(const QString& file, const QByteArray& bytes) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir tmp;
    LinuxFileOperations files;
};

TEST_F(FileOps, ACopyHasTheSameBytesAndIsTheProgramsOwnWritableFile) {
    QByteArray bytes(300 * 1024, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    write(path("Promoção de Natal.v2.wav"), bytes);
    QFile::setPermissions(path("Promoção de Natal.v2.wav"), QFileDevice::ReadOwner);
    write(path(".nova.tmp"), "an older, longer leftover of a copy cut short............");

    files.copy(path("Promoção de Natal.v2.wav"), path(".nova.tmp"));

    EXPECT_EQ(read(path(".nova.tmp")), bytes);
    EXPECT_TRUE(QFileInfo(path(".nova.tmp")).permissions() & QFileDevice::WriteOwner);
}

// A full disk in the middle of the copy: the file size limit makes the write
// fail as ENOSPC would.
TEST_F(FileOps, ACopyCutShortLeavesNothingBehind) {
    write(path("grande.wav"), QByteArray(256 * 1024, 'x'));
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        files.copy(path("grande.wav"), path(".nova.tmp"));
    } catch (const FileError&) {
        threw = true;
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(threw);
    EXPECT_FALSE(QFileInfo::exists(path(".nova.tmp")));
    EXPECT_THROW(files.copy(path("ausente.wav"), path(".nova.tmp")), FileError);
    EXPECT_THROW(files.copy(tmp.path(), path(".nova.tmp")), FileError);
    EXPECT_FALSE(QFileInfo::exists(path(".nova.tmp")));
}

TEST_F(FileOps, RenameReplacesRemoveAndMakeFolderSayWhenTheyCannot) {
    write(path("nova"), "nova");
    write(path("espera.wav"), "antiga");
    files.rename(path("nova"), path("espera.wav"));
    EXPECT_EQ(read(path("espera.wav")), QByteArray("nova"));
    EXPECT_FALSE(QFileInfo::exists(path("nova")));
    EXPECT_THROW(files.rename(path("nova"), path("outra")), FileError);

    files.remove(path("espera.wav"));
    EXPECT_FALSE(QFileInfo::exists(path("espera.wav")));
    EXPECT_THROW(files.remove(path("espera.wav")), FileError);
    EXPECT_THROW(files.remove(QString()), FileError);

    files.makeFolder(path("a/b/Inválidos"));
    EXPECT_TRUE(QFileInfo(path("a/b/Inválidos")).isDir());
    write(path("arquivo"), "x");
    EXPECT_THROW(files.makeFolder(path("arquivo")), FileError);
}

// The settle rule compares stamps: every write shows, even one whose
// modification time is set back afterwards (cp -p, rsync -t), because the
// change time moves forward whatever the writer does.
TEST_F(FileOps, AStampShowsEveryChangeAndTellsFilesApart) {
    const QString promo = path("promo.wav");
    write(promo, QByteArray(1234, 'x'));
    const auto first = files.stamp(promo);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size, 1234);
    EXPECT_FALSE(first->folder);
    EXPECT_EQ(files.stamp(promo), first);

    const timespec hourAgo{.tv_sec = ::time(nullptr) - 3600, .tv_nsec = 0};
    const timespec times[2] = {hourAgo, hourAgo};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(promo).constData(), times, 0), 0);
    const auto setBack = files.stamp(promo);
    ASSERT_TRUE(setBack);
    EXPECT_LT(setBack->modifiedNs, first->modifiedNs);
    EXPECT_GE(setBack->changedNs, first->changedNs);
    EXPECT_NE(setBack, first);

    // Another name of the same file is the same file; a copy is not.
    ASSERT_EQ(::link(QFile::encodeName(promo).constData(),
                     QFile::encodeName(path("outro-nome.wav")).constData()),
              0);
    EXPECT_TRUE(files.stamp(path("outro-nome.wav"))->sameFileAs(*setBack));
    files.copy(promo, path("copia.wav"));
    EXPECT_FALSE(files.stamp(path("copia.wav"))->sameFileAs(*setBack));
    EXPECT_TRUE(files.stamp(tmp.path())->folder);
    EXPECT_FALSE(files.stamp(path("ausente.wav")));
    EXPECT_FALSE(files.stamp(QString()));
}

TEST_F(FileOps, WhatTheFolderTakesIsKnownBeforehand) {
    EXPECT_EQ(files.refusesWrites(tmp.path()), std::nullopt);
    EXPECT_NE(files.refusesWrites(path("ausente")).value_or(QString()), QString());
    EXPECT_GE(files.longestName(tmp.path()), 255);
    files.syncFolder(tmp.path());
    EXPECT_THROW(files.syncFolder(path("ausente")), FileError);
    write(path("gravada.wav"), "RIFF");
    files.flushFile(path("gravada.wav"));
    files.remove(path("gravada.wav"));
    EXPECT_THROW(files.flushFile(path("ausente.wav")), FileError);

    // A file whose name is not valid UTF-8 is renamed by its bytes.
    const QByteArray latin1 = "Promo\xe7\xe3o.wav";
    const int fd = ::open((QFile::encodeName(tmp.path()) + '/' + latin1).constData(),
                          O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    files.renameBytes(tmp.path(), latin1, path("Promoção.wav"));
    EXPECT_EQ(files.list(tmp.path()).names, QStringList{QStringLiteral("Promoção.wav")});
    EXPECT_THROW(files.renameBytes(tmp.path(), latin1, path("outra.wav")), FileError);
}

// A copy that stalled is still open for writing: that shows before the file
// is judged broken, and looking leaves nothing behind that would hold up the
// writer.
TEST_F(FileOps, AFileOpenForWritingIsToldApart) {
    write(path("parada.wav"), "RIFF");
    {
        QFile writer(path("parada.wav"));
        ASSERT_TRUE(writer.open(QIODevice::Append));
        EXPECT_TRUE(files.hasWriters(path("parada.wav")));
    }
    EXPECT_FALSE(files.hasWriters(path("parada.wav")));
    QFile again(path("parada.wav"));
    ASSERT_TRUE(again.open(QIODevice::Append | QIODevice::Unbuffered));
    EXPECT_EQ(again.write("WAVE"), 4);
    again.close();
    EXPECT_EQ(read(path("parada.wav")), QByteArray("RIFFWAVE"));
    EXPECT_FALSE(files.hasWriters(path("ausente.wav")));
}

TEST_F(FileOps, TwoFilesAreTheSameOnlyByteForByte) {
    const QByteArray big(200 * 1024, 'a');
    write(path("a.wav"), big);
    write(path("b.wav"), big);
    write(path("c.wav"), QByteArray(big).replace(150 * 1024, 1, "b"));
    write(path("d.wav"), big + "a");
    EXPECT_TRUE(files.sameContent(path("a.wav"), path("b.wav")));
    EXPECT_FALSE(files.sameContent(path("a.wav"), path("c.wav")));
    EXPECT_FALSE(files.sameContent(path("a.wav"), path("d.wav")));
    EXPECT_FALSE(files.sameContent(path("a.wav"), path("ausente.wav")));
}

}  // namespace
