#include "rotation/LinuxFileOperations.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cerrno>
#include <climits>
#include <memory>
#include <system_error>

#include "core/ShownName.h"
#include "core/UniqueFd.h"

namespace quindra {

namespace {

constexpr qint64 kBlockBytes = 64 * 1024;

QString reason(int error) {
    return QString::fromStdString(std::generic_category().message(error));
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

std::int64_t ns(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// Closes and deletes a half-written copy on every way out but commit().
class PartialCopy {
public:
    explicit PartialCopy(QFile& out) : out_(out) {}
    ~PartialCopy() {
        if (!committed_) {
            out_.close();
            QFile::remove(out_.fileName());
        }
    }
    PartialCopy(const PartialCopy&) = delete;
    PartialCopy& operator=(const PartialCopy&) = delete;
    void commit() { committed_ = true; }

private:
    QFile& out_;
    bool committed_ = false;
};

std::optional<QString> decodedName(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString name = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return name;
}

}  // namespace

void LinuxFileOperations::copy(const QString& from, const QString& to) {
    const auto failed = [&](const QString& why) {
        return FileError(QStringLiteral("Não foi possível copiar %1 para %2: %3")
                             .arg(ShownName(from), ShownName(to), why));
    };
    if (QFileInfo(from).isDir())
        throw failed(reason(EISDIR));
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        throw failed(in.errorString());
    QFile out(to);
    // Unbuffered, so a full disk shows at the write that hits it.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw failed(out.errorString());
    PartialCopy partial(out);
    while (true) {
        const QByteArray block = in.read(kBlockBytes);
        if (in.error() != QFileDevice::NoError)
            throw failed(in.errorString());
        if (block.isEmpty())
            break;
        if (out.write(block) != block.size())
            throw failed(out.errorString());
    }
    out.close();
    if (out.error() != QFileDevice::NoError)
        throw failed(out.errorString());
    partial.commit();
}

void LinuxFileOperations::flushFile(const QString& path) {
    const UniqueFd file(::open(native(path).constData(), O_RDONLY | O_CLOEXEC));
    if (!file.ok() || ::fsync(file.get()) != 0) {
        throw FileError(QStringLiteral("Não foi possível gravar no disco o arquivo %1: %2")
                            .arg(ShownName(path), reason(errno)));
    }
}

void LinuxFileOperations::rename(const QString& from, const QString& to) {
    if (::rename(native(from).constData(), native(to).constData()) != 0) {
        throw FileError(QStringLiteral("Não foi possível renomear %1 para %2: %3")
                            .arg(ShownName(from), ShownName(to), reason(errno)));
    }
}

void LinuxFileOperations::renameBytes(const QString& folder, const QByteArray& from,
                                      const QString& to) {
    const QByteArray source = native(folder) + '/' + from;
    if (::rename(source.constData(), native(to).constData()) != 0) {
        throw FileError(QStringLiteral("Não foi possível renomear %1 para %2: %3")
                            .arg(QString::fromLatin1(from.toPercentEncoding("/ ")), ShownName(to),
                                 reason(errno)));
    }
}

void LinuxFileOperations::remove(const QString& path) {
    if (::unlink(native(path).constData()) != 0)
        throw FileError(
            QStringLiteral("Não foi possível apagar %1: %2").arg(ShownName(path), reason(errno)));
}

void LinuxFileOperations::makeFolder(const QString& path) {
    if (!QDir().mkpath(path) || !QFileInfo(path).isDir())
        throw FileError(QStringLiteral("Não foi possível criar a pasta %1").arg(ShownName(path)));
}

void LinuxFileOperations::syncFolder(const QString& path) {
    const UniqueFd dir(::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.ok() || ::fsync(dir.get()) != 0) {
        throw FileError(QStringLiteral("Não foi possível gravar no disco a pasta %1: %2")
                            .arg(ShownName(path), reason(errno)));
    }
}

std::optional<FileStamp> LinuxFileOperations::stamp(const QString& path) const {
    struct stat st {};
    if (path.isEmpty() || ::stat(native(path).constData(), &st) != 0)
        return std::nullopt;
    return FileStamp{.size = static_cast<std::int64_t>(st.st_size),
                     .modifiedNs = ns(st.st_mtim),
                     .changedNs = ns(st.st_ctim),
                     .device = static_cast<std::uint64_t>(st.st_dev),
                     .inode = static_cast<std::uint64_t>(st.st_ino),
                     .folder = S_ISDIR(st.st_mode)};
}

FolderEntries LinuxFileOperations::list(const QString& folder) const {
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(native(folder).constData()));
    if (!dir) {
        throw FileError(QStringLiteral("Não foi possível ler a pasta %1: %2")
                            .arg(ShownName(folder), reason(errno)));
    }
    FolderEntries entries;
    const int fd = ::dirfd(dir.get());
    while (true) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0) {
                throw FileError(QStringLiteral("Não foi possível ler a pasta %1: %2")
                                    .arg(ShownName(folder), reason(errno)));
            }
            break;
        }
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        // Links are followed: a link to a file counts as that file; a broken
        // link, a link loop, a pipe or a device is no file to take.
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue;
        const auto text = decodedName(name);
        if (name.startsWith('.')) {
            if (text)
                entries.hiddenNames << *text;
        } else if (text) {
            entries.names << *text;
        } else {
            entries.undecodableNames << name;
        }
    }
    return entries;
}

std::optional<QString> LinuxFileOperations::refusesWrites(const QString& folder) const {
    if (::access(native(folder).constData(), W_OK | X_OK) != 0)
        return reason(errno);
    return std::nullopt;
}

int LinuxFileOperations::longestName(const QString& folder) const {
    errno = 0;
    const long max = ::pathconf(native(folder).constData(), _PC_NAME_MAX);
    // No limit known: the one every Linux file system keeps.
    return max > 0 ? static_cast<int>(std::min<long>(max, INT_MAX)) : NAME_MAX;
}

// A read lease is refused while any process has the file open for writing.
// It is taken and given back at once; should a writer open the file in that
// moment, the kernel tells the holder with a signal, which is SIGURG here (its
// default is to be ignored) rather than SIGIO (whose default ends the
// program). Leases need the file's owner or CAP_LEASE, and some file systems
// (network shares among them) have none: then nothing is known.
bool LinuxFileOperations::hasWriters(const QString& path) const {
    const UniqueFd fd(::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.ok() || ::fcntl(fd.get(), F_SETSIG, SIGURG) != 0)
        return false;
    if (::fcntl(fd.get(), F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;
}

bool LinuxFileOperations::sameContent(const QString& a, const QString& b) const {
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) ||
        first.size() != second.size())
        return false;
    while (true) {
        const QByteArray block = first.read(kBlockBytes);
        if (block != second.read(kBlockBytes) || first.error() != QFileDevice::NoError ||
            second.error() != QFileDevice::NoError)
            return false;
        if (block.isEmpty())
            return true;
    }
}

}  // namespace quindra
