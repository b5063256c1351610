#pragma once

#include <QStringList>
#include <optional>

#include "rotation/FolderWatch.h"

namespace quindra::testing {

// A folder watch the test speaks for: it tells what inotify would, when the
// test says so, and can refuse a folder as a network share is refused.
class FakeFolderWatch final : public FolderWatch {
public:
    std::optional<Refusal> watch(const QString& folder) override {
        watched << folder;
        following = refusal ? QString() : folder;
        return refusal;
    }
    void stop() override { following.clear(); }

    void tell(const QList<Event>& events) { report(events); }
    void arrived(const QString& name) { tell({{Change::Arrived, name}}); }

    std::optional<Refusal> refusal;
    QStringList watched;  // every folder it was asked to follow, in order
    QString following;
};

}  // namespace quindra::testing
