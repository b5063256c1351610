#pragma once

#include <QString>
#include <memory>

#include "rotation/FolderWatch.h"

class QSocketNotifier;

namespace quindra {

// The folder watch on inotify, read on the UI thread when its descriptor
// has something to say. A folder on a network share is refused: inotify
// only hears what this computer writes there.
class InotifyFolderWatch final : public FolderWatch {
public:
    InotifyFolderWatch();
    ~InotifyFolderWatch() override;
    InotifyFolderWatch(const InotifyFolderWatch&) = delete;
    InotifyFolderWatch& operator=(const InotifyFolderWatch&) = delete;

    std::optional<Refusal> watch(const QString& folder) override;
    void stop() override;

    // The file system type of a folder (statfs's f_type) is one whose files
    // other computers change.
    static bool isNetworkShare(long fileSystemType);

private:
    void readEvents();
    void closeWatch();

    int fd_ = -1;
    int watched_ = -1;  // the watch descriptor of the folder, or -1
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quindra
