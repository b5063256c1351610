#include <gtest/gtest.h>

#include <QLocale>

#include "core/VirtualEventLoop.h"
#include "status/LinuxSysInfo.h"
#include "status/StatusPanel.h"
#include "support/FakeStatus.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;
constexpr std::int64_t kKiBPerGiB = std::int64_t{1} << 20;

class StatusPanelPass : public ::testing::Test {
protected:
    StatusPanelPass() {
        settings.dropFolder = QStringLiteral("/srv/espera");
        info.disks[settings.dropFolder] = {.available = 75 * kGiB + 4 * kGiB / 10,
                                           .total = 320 * kGiB};
        info.memoryStatus = MemoryStatus{.physicalTotal = 4 * kKiBPerGiB,
                                         .physicalFree = 153 * kKiBPerGiB / 100,
                                         .virtualTotal = 3 * kKiBPerGiB,
                                         .virtualFree = 2 * kKiBPerGiB,
                                         .pagingTotal = 6 * kKiBPerGiB,
                                         .pagingFree = 5 * kKiBPerGiB};
    }

    FakeSysInfo info;
    FakeStatusView view;
    LocaleFormats formats{QLocale(QStringLiteral("pt_BR"))};
    SettingCopies settings;
    StatusPanel panel{info, view, formats, settings};
};

TEST_F(StatusPanelPass, ShowsDiskAndMemoryInTheLocalesFormatAndReadsEachSourceOnce) {
    panel.refresh();

    EXPECT_EQ(view.labels[StatusLabel::Disk], QStringLiteral("75/320 GB"));
    EXPECT_EQ(view.bars[StatusBar::Disk].maxValue(), 320);
    EXPECT_EQ(view.bars[StatusBar::Disk].userValue(), 75);
    EXPECT_EQ(view.labels[StatusLabel::PhysicalMemory], QStringLiteral("1,53/ 4,00 GB"));
    EXPECT_EQ(view.bars[StatusBar::PhysicalMemory].maxValue(), 4 * kKiBPerGiB);
    EXPECT_EQ(view.bars[StatusBar::PhysicalMemory].userValue(), 153 * kKiBPerGiB / 100);
    EXPECT_EQ(view.bars[StatusBar::PhysicalMemory].percent(), 38);
    EXPECT_EQ(view.labels[StatusLabel::VirtualMemory], QStringLiteral("2,00/ 3,00 GB"));
    EXPECT_EQ(view.labels[StatusLabel::PagingMemory], QStringLiteral("5,00/ 6,00 GB"));
    EXPECT_EQ(view.bars[StatusBar::PagingMemory].percent(), 83);
    EXPECT_EQ(info.diskReads, 1);
    EXPECT_EQ(info.memoryReads, 1);

    // The same figures again change nothing on screen.
    const int calls = view.calls;
    panel.refresh();
    EXPECT_EQ(view.calls, calls);
}

TEST_F(StatusPanelPass, ThousandsAreGroupedAndTheBarTakesTheWholeNumbers) {
    info.disks[settings.dropFolder] = {.available = 1863 * kGiB, .total = 3726 * kGiB + kGiB / 3};
    info.memoryStatus->virtualTotal = std::int64_t{1} << 37;  // 128 TiB of address space
    info.memoryStatus->virtualFree = (std::int64_t{1} << 37) - kKiBPerGiB / 2;
    panel.refresh();
    EXPECT_EQ(view.labels[StatusLabel::Disk], QStringLiteral("1.863/3.726 GB"));
    EXPECT_EQ(view.bars[StatusBar::Disk].maxValue(), 3726);
    EXPECT_EQ(view.bars[StatusBar::Disk].userValue(), 1863);
    EXPECT_EQ(view.labels[StatusLabel::VirtualMemory], QStringLiteral("131.071,50/ 131.072,00 GB"));
    EXPECT_EQ(view.labels[StatusLabel::PhysicalMemory], QStringLiteral("1,53/ 4,00 GB"));
}

TEST_F(StatusPanelPass, AnUnreadableVolumeKeepsTheBarsMaximumAndTheMemoryRowsStillRefresh) {
    panel.refresh();
    info.disks.clear();  // the folder's volume can no longer be queried
    info.memoryStatus->physicalFree = 2 * kKiBPerGiB;
    panel.refresh();
    EXPECT_EQ(view.labels[StatusLabel::Disk], QStringLiteral("0/0 GB"));
    EXPECT_EQ(view.bars[StatusBar::Disk].maxValue(), 320);
    EXPECT_EQ(view.bars[StatusBar::Disk].userValue(), 0);
    EXPECT_EQ(view.labels[StatusLabel::PhysicalMemory], QStringLiteral("2,00/ 4,00 GB"));
}

TEST_F(StatusPanelPass, NoDropFolderMeansNoPassAndMissingMemoryFiguresKeepTheirRows) {
    settings.dropFolder.clear();
    panel.refresh();
    EXPECT_EQ(view.calls, 0);
    EXPECT_EQ(info.diskReads, 0);

    settings.dropFolder = QStringLiteral("/srv/espera");
    info.memoryStatus.reset();
    panel.refresh();
    EXPECT_EQ(view.labels[StatusLabel::Disk], QStringLiteral("75/320 GB"));
    EXPECT_FALSE(view.labels.contains(StatusLabel::PhysicalMemory));
}

TEST(GaugeRange, AMaximumOfZeroIsRefusedAndTheValueStaysInRange) {
    GaugeRange r;
    EXPECT_EQ(r.percent(), 50);  // until the first refresh
    r.setMaxValue(0);
    EXPECT_EQ(r.maxValue(), 100);
    r.setMaxValue(320);
    r.setUserValue(400);
    EXPECT_EQ(r.userValue(), 320);
    r.setUserValue(-1);
    EXPECT_EQ(r.userValue(), 0);
    r.setUserValue(75);
    r.setMaxValue(60);  // a smaller range takes the value with it
    EXPECT_EQ(r.userValue(), 60);
    EXPECT_EQ(r.percent(), 100);
}

TEST(CpuUsageGauge, TwoSamplesOfTheProcessorTimesGiveTheBusyShare) {
    const auto first = ParseCpuTimes("cpu  4705 356 584 3699 23 0 4 0 0 0\ncpu0 1 2 3 4\n");
    const auto second = ParseCpuTimes("cpu  4905 356 684 3899 123 0 4 0 50 0\n");
    ASSERT_TRUE(first && second);
    // 600 ticks passed (user +200, system +100, idle +200, iowait +100), 300
    // of them idle; guest time is already part of user time.
    EXPECT_DOUBLE_EQ(CpuUsageGauge::usage(first, *second), 50.0);
    EXPECT_DOUBLE_EQ(CpuUsageGauge::usage(std::nullopt, *second), 0.0);
    EXPECT_DOUBLE_EQ(CpuUsageGauge::usage(second, *second), 0.0);
    EXPECT_FALSE(ParseCpuTimes("intr 1 2 3\n"));

    // The gauge: 0 at creation, the first real figure 500 ms later, and each
    // figure shown once.
    VirtualEventLoop loop;
    FakeSysInfo info;
    FakeStatusView view;
    info.cpu = {{.idle = 100, .total = 1000},
                {.idle = 150, .total = 1100},
                {.idle = 200, .total = 1200},
                {.idle = 299, .total = 1300}};
    CpuUsageGauge gauge(info, view, loop);
    EXPECT_EQ(view.cpuShown, std::vector<int>{0});
    loop.advance(499);
    EXPECT_EQ(view.cpuShown, std::vector<int>{0});
    loop.advance(1);
    loop.advance(1000);
    EXPECT_EQ(view.cpuShown, (std::vector<int>{0, 50, 1}));
}

TEST(LinuxSysInfo, SystemNameVersionAndMemoryComeFromTheirFiles) {
    const OsIdentity debian = ParseOsIdentity(
        "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
        "VERSION_ID=\"12\"\nID=debian\n",
        "Linux", "6.1.0-18-amd64");
    EXPECT_EQ(debian.name, QStringLiteral("Debian GNU/Linux"));
    EXPECT_EQ(debian.version, QStringLiteral("12"));
    EXPECT_EQ(debian.build, QStringLiteral("6.1.0-18-amd64"));
    const OsIdentity bare = ParseOsIdentity("", "Linux", "6.8.12-arch1");
    EXPECT_EQ(bare.name, QStringLiteral("Linux"));
    EXPECT_EQ(bare.version, QStringLiteral("6.8"));

    const auto m = ParseMemoryStatus(
        "MemTotal:        8025180 kB\nMemFree:          501234 kB\n"
        "MemAvailable:    3012345 kB\nBuffers:            1234 kB\nSwapTotal:       2097148 kB\n"
        "SwapFree:        2000000 kB\n",
        std::int64_t{1} << 37, 1200000);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->physicalTotal, 8025180);
    EXPECT_EQ(m->physicalFree, 3012345);
    EXPECT_EQ(m->virtualTotal, std::int64_t{1} << 37);
    EXPECT_EQ(m->virtualFree, (std::int64_t{1} << 37) - 1200000);
    EXPECT_EQ(m->pagingTotal, 8025180 + 2097148);
    EXPECT_EQ(m->pagingFree, 3012345 + 2000000);
    EXPECT_FALSE(ParseMemoryStatus("MemTotal: 1 kB\n", 1, 0));

    // The real sources of this machine answer.
    LinuxSysInfo real;
    EXPECT_FALSE(real.os().name.isEmpty());
    const auto now = real.memory();
    ASSERT_TRUE(now);
    EXPECT_GT(now->physicalTotal, 0);
    EXPECT_LT(now->virtualFree, now->virtualTotal);
    EXPECT_GT(real.disk(QStringLiteral("/")).total, 0);
    EXPECT_EQ(real.disk(QStringLiteral("/não/existe")).total, -1);
    EXPECT_TRUE(real.cpuTimes());
}

}  // namespace
