#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

namespace quindra {

// Tells the drop-folder watch, as it happens, that something may have
// arrived in a folder, so that a finished file goes on air within seconds
// instead of at the next check. What it says is only a hint: the watch looks
// at the folder itself before it takes anything, and its periodic check goes
// on whatever this says or misses.
class FolderWatch {
public:
    enum class Change {
        Arrived,     // a file was written and closed, moved in, or created
        FolderGone,  // the folder itself was deleted, moved away or unmounted
        Overflow,    // changes were lost: the whole folder is to be looked at
    };
    struct Event {
        Change change;
        QString name;  // the file's name, for Arrived
    };
    using Handler = std::function<void(const QList<Event>&)>;

    // Why a folder is not watched: a network share, whose changes made by
    // other computers are never told, or a failure of the system's own.
    struct Refusal {
        bool networkShare = false;
        QString reason;
    };

    virtual ~FolderWatch() = default;

    // Watches `folder` in place of any folder watched before. Events come
    // in batches, on the UI thread, to the handler. Nothing is watched when
    // the folder is refused.
    virtual std::optional<Refusal> watch(const QString& folder) = 0;
    virtual void stop() = 0;

    void setHandler(Handler handler) { handler_ = std::move(handler); }

protected:
    void report(const QList<Event>& events) {
        if (handler_ && !events.isEmpty())
            handler_(events);
    }

private:
    Handler handler_;
};

}  // namespace quindra
