#include "rotation/FilesInFlight.h"

#include <QString>

#include "rotation/MessageFolder.h"

namespace quindra {

namespace {

struct InFlightName {
    enum class Where { Prefix, Suffix };
    Where where;
    QLatin1String text;  // compared without regard to case
};

using enum InFlightName::Where;

// Every name the watch leaves alone. The last row, any hidden name, also
// covers rsync's ".NAME.XXXXXX", vim's ".NAME.swp", GVfs's
// ".goutputstream-XXXXXX" and NFS's ".nfsXXXX"; the rows above it are the
// hidden names that are known to belong to a program.
constexpr InFlightName kInFlightNames[] = {
    {Prefix, QLatin1String(".syncthing.")},      // Syncthing: .syncthing.NAME.tmp
    {Prefix, QLatin1String("~syncthing~")},      // Syncthing on Windows
    {Prefix, QLatin1String(".~lock.")},          // LibreOffice: .~lock.NAME#
    {Prefix, QLatin1String(".~")},               // Nextcloud and ownCloud: .~NAME
    {Prefix, QLatin1String("._")},               // macOS's resource forks on a share
    {Prefix, QLatin1String("~$")},               // Microsoft Office's owner file
    {Prefix, QLatin1String(".goutputstream-")},  // GNOME's file copies
    {Suffix, QLatin1String(".crdownload")},      // Chrome, Chromium, Edge
    {Suffix, QLatin1String(".part")},            // Firefox, KDE, Transmission
    {Suffix, QLatin1String(".partial")},         // rclone, older browsers
    {Suffix, QLatin1String(".filepart")},        // WinSCP
    {Suffix, QLatin1String(".download")},        // Safari
    {Suffix, QLatin1String(".opdownload")},      // Opera
    {Suffix, QLatin1String(".!qb")},             // qBittorrent
    {Suffix, QLatin1String(".!ut")},             // µTorrent
    {Suffix, QLatin1String(".!sync")},           // Resilio Sync
    {Suffix, QLatin1String(".aria2")},           // aria2's control file
    {Suffix, QLatin1String(".tmp")},             // Office's ~WRL0001.tmp and most tools
    {Suffix, QLatin1String(".temp")},
    {Prefix, QLatin1String(".")},  // any hidden file
};

bool matches(const InFlightName& row, const QString& name) {
    return row.where == Prefix ? name.startsWith(row.text, Qt::CaseInsensitive)
                               : name.endsWith(row.text, Qt::CaseInsensitive);
}

}  // namespace

bool IsFileInFlight(const QString& name) {
    for (const InFlightName& row : kInFlightNames) {
        if (matches(row, name))
            return true;
    }
    return false;
}

bool LooksHiddenByMistake(const QString& name) {
    if (!name.startsWith(QLatin1Char('.')) || !IsMessageName(name))
        return false;
    // ".wav" alone is an extension, not a name.
    if (name.size() <= 5)
        return false;
    for (const InFlightName& row : kInFlightNames) {
        if (row.text != QLatin1String(".") && matches(row, name))
            return false;
    }
    return true;
}

}  // namespace quindra
