#pragma once

#include <QHash>
#include <functional>
#include <vector>

#include "status/IdleSource.h"
#include "status/StatusView.h"
#include "status/SysInfo.h"

namespace quindra::testing {

// A system whose figures the test sets, counting how often each is read.
class FakeSysInfo final : public SysInfo {
public:
    OsIdentity os() override { return identity; }
    std::optional<MemoryStatus> memory() override {
        ++memoryReads;
        return memoryStatus;
    }
    DiskSpace disk(const QString& path) override {
        ++diskReads;
        diskPaths.push_back(path);
        return disks.value(path, DiskSpace{});
    }
    std::optional<CpuTimes> cpuTimes() override {
        if (cpu.empty())
            return std::nullopt;
        const CpuTimes t = cpu.front();
        if (cpu.size() > 1)
            cpu.erase(cpu.begin());
        return t;
    }

    OsIdentity identity;
    std::optional<MemoryStatus> memoryStatus = MemoryStatus{};
    QHash<QString, DiskSpace> disks;  // by path; any other path fails
    std::vector<CpuTimes> cpu;        // one per sample; the last one repeats
    int memoryReads = 0;
    int diskReads = 0;
    std::vector<QString> diskPaths;
};

// The panel's elements as plain values, counting the calls that reached them.
class FakeStatusView final : public StatusView {
public:
    void setStatusLabel(StatusLabel l, const QString& text) override {
        labels[l] = text;
        ++calls;
    }
    void setStatusBar(StatusBar b, const GaugeRange& range) override {
        bars[b] = range;
        ++calls;
    }
    void setCpuUsage(int percent) override {
        cpuShown.push_back(percent);
        ++calls;
    }
    QHash<StatusLabel, QString> labels;
    QHash<StatusBar, GaugeRange> bars;
    std::vector<int> cpuShown;
    int calls = 0;
};

// The idle moment, fired by the test.
class FakeIdle final : public IdleSource {
public:
    void setIdleHandler(std::function<void()> h) override { handler = std::move(h); }
    void fire() {
        if (handler)
            handler();
    }
    std::function<void()> handler;
};

}  // namespace quindra::testing
