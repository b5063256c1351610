#include <gtest/gtest.h>
#include <sys/resource.h>

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

TEST_F(FileOps, StampGivesTheSizeAndHowLongAgoTheFileChanged) {
    write(path("promo.wav"), QByteArray(1234, 'x'));
    const auto stamp = files.stamp(path("promo.wav"));
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->size, 1234);
    // Just written: changed moments ago, not hours.
    EXPECT_GE(stamp->msSinceChange, 0);
    EXPECT_LT(stamp->msSinceChange, 60 * 60 * 1000);
    EXPECT_FALSE(files.stamp(path("ausente.wav")));
}

}  // namespace
