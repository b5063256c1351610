#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <system_error>

#include "core/QtEventLoop.h"
#include "rotation/InotifyFolderWatch.h"
#include "support/WaitFor.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

using Change = FolderWatch::Change;

// The real inotify on a folder of the test's own, read through the Qt loop.
class InotifyWatch : public ::testing::Test {
protected:
    InotifyWatch() {
        folder = tmp.filePath(QStringLiteral("reposição"));
        QDir().mkpath(folder);
        watch.setHandler([this](const QList<FolderWatch::Event>& batch) {
            ++batches;
            events += batch;
        });
    }
    bool told(Change change, const QString& name = {}) {
        return waitFor(loop, [&] {
            for (const auto& e : events) {
                if (e.change == change && (name.isEmpty() || e.name == name))
                    return true;
            }
            return false;
        });
    }
    static void write(const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }

    QTemporaryDir tmp;
    QString folder;
    QtEventLoop loop;
    InotifyFolderWatch watch;
    QList<FolderWatch::Event> events;
    int batches = 0;
};

// A copy written in place, a file moved in: each told by its name; a folder
// made inside is no file and tells nothing.
TEST_F(InotifyWatch, TellsOfFilesWrittenOrMovedIn) {
    ASSERT_EQ(watch.watch(folder), std::nullopt);
    QDir(folder).mkdir(QStringLiteral("Ignorados"));
    write(folder + QStringLiteral("/promo.wav"));
    EXPECT_TRUE(told(Change::Arrived, QStringLiteral("promo.wav")));
    write(tmp.filePath(QStringLiteral("fora.mp3")));
    ASSERT_TRUE(QFile::rename(tmp.filePath(QStringLiteral("fora.mp3")),
                              folder + QStringLiteral("/dentro.mp3")));
    EXPECT_TRUE(told(Change::Arrived, QStringLiteral("dentro.mp3")));
    for (const auto& e : events)
        EXPECT_NE(e.name, QStringLiteral("Ignorados"));
}

TEST_F(InotifyWatch, TellsWhenTheFolderGoesAndFollowsTheNextOneOnly) {
    ASSERT_EQ(watch.watch(folder), std::nullopt);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_TRUE(told(Change::FolderGone));

    // Followed anew: the old folder's name tells nothing any more.
    const QString other = tmp.filePath(QStringLiteral("outra"));
    QDir().mkpath(other);
    ASSERT_EQ(watch.watch(other), std::nullopt);
    events.clear();
    QDir().mkpath(folder);
    write(folder + QStringLiteral("/velha.wav"));
    write(other + QStringLiteral("/nova.wav"));
    EXPECT_TRUE(told(Change::Arrived, QStringLiteral("nova.wav")));
    for (const auto& e : events)
        EXPECT_NE(e.name, QStringLiteral("velha.wav"));
}

// More changes than the kernel keeps while nobody reads them: the overflow
// is told, and everything read at once comes as one batch.
TEST_F(InotifyWatch, TellsOfAnOverflowInOneBatch) {
    ASSERT_EQ(watch.watch(folder), std::nullopt);
    const QByteArray partial = QFile::encodeName(folder + QStringLiteral("/x.part"));
    for (int i = 0; i < 10000; ++i) {
        const int fd = ::open(partial.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
        ::unlink(partial.constData());
    }
    EXPECT_TRUE(told(Change::Overflow));
    EXPECT_EQ(batches, 1);
}

TEST_F(InotifyWatch, RefusesAFolderThatIsNotThere) {
    const auto refusal = watch.watch(tmp.filePath(QStringLiteral("nenhuma")));
    ASSERT_TRUE(refusal.has_value());
    EXPECT_FALSE(refusal->networkShare);
    EXPECT_EQ(refusal->reason, QString::fromStdString(std::generic_category().message(ENOENT)));
}

struct FileSystemCase {
    const char* name;
    long type;
    bool network;
};

class NetworkShares : public ::testing::TestWithParam<FileSystemCase> {};

TEST_P(NetworkShares, AreToldFromLocalDisks) {
    EXPECT_EQ(InotifyFolderWatch::isNetworkShare(GetParam().type), GetParam().network);
}

INSTANTIATE_TEST_SUITE_P(Types, NetworkShares,
                         ::testing::Values(FileSystemCase{"Nfs", 0x6969, true},
                                           FileSystemCase{"Cifs", 0xFF534D42L, true},
                                           FileSystemCase{"Smb2", 0xFE534D42L, true},
                                           FileSystemCase{"FuseSshfs", 0x65735546, true},
                                           FileSystemCase{"NineP", 0x01021997, true},
                                           FileSystemCase{"Ext4", 0xEF53, false},
                                           FileSystemCase{"Tmpfs", 0x01021994, false},
                                           FileSystemCase{"Btrfs", 0x9123683EL, false},
                                           FileSystemCase{"Xfs", 0x58465342, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
