#include "rotation/LinuxFileOperations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <system_error>

namespace quindra {

namespace {

constexpr qint64 kBlockBytes = 64 * 1024;

QString reason(int error) {
    return QString::fromStdString(std::generic_category().message(error));
}

std::int64_t ms(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

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

}  // namespace

void LinuxFileOperations::copy(const QString& from, const QString& to) {
    const auto failed = [&](const QString& why) {
        return FileError(
            QStringLiteral("Não foi possível copiar %1 para %2: %3").arg(from, to, why));
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
    // On the disk before it is renamed into place: a power cut never leaves
    // an empty message under the new name.
    if (::fsync(out.handle()) != 0)
        throw failed(reason(errno));
    out.close();
    if (out.error() != QFileDevice::NoError)
        throw failed(out.errorString());
    partial.commit();
}

void LinuxFileOperations::rename(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        throw FileError(QStringLiteral("Não foi possível renomear %1 para %2: %3")
                            .arg(from, to, reason(errno)));
    }
}

void LinuxFileOperations::remove(const QString& path) {
    if (::unlink(QFile::encodeName(path).constData()) != 0)
        throw FileError(QStringLiteral("Não foi possível apagar %1: %2").arg(path, reason(errno)));
}

void LinuxFileOperations::makeFolder(const QString& path) {
    if (!QDir().mkpath(path) || !QFileInfo(path).isDir())
        throw FileError(QStringLiteral("Não foi possível criar a pasta %1").arg(path));
}

std::optional<FileStamp> LinuxFileOperations::stamp(const QString& path) const {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // The entry's change time moves with every write and rename, and no
    // program can set it back, unlike the modification time.
    const std::int64_t changed = std::max(ms(st.st_mtim), ms(st.st_ctim));
    return FileStamp{static_cast<std::int64_t>(st.st_size), ms(now) - changed};
}

}  // namespace quindra
