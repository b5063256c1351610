#include "metrics/MetricsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/UniqueFd.h"
#include "metrics/PrometheusText.h"

namespace quindra {

namespace {

QString ErrnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// Whether an existing file at the path may be replaced: a regular file, not
// a link, that starts with this program's mark.
QString ReplaceProblem(const QByteArray& path, const QString& shown) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return errno == ENOENT ? QString() : ErrnoText(errno);
    const QString notOurs =
        QStringLiteral("%1 já existe e não foi escrito por este programa").arg(shown);
    if (!S_ISREG(st.st_mode))
        return notOurs;
    UniqueFd fd(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return ErrnoText(errno);
    const QByteArray mark = kPrometheusFileMark.toUtf8();
    QByteArray head(mark.size(), '\0');
    const ssize_t n = ::read(fd.get(), head.data(), static_cast<size_t>(head.size()));
    return n == head.size() && head == mark ? QString() : notOurs;
}

}  // namespace

QString MetricsFile::write(const QString& path, const QString& text) {
    const QFileInfo info(path);
    if (!info.isAbsolute() || info.suffix() != QLatin1String("prom"))
        return QStringLiteral("o caminho deve ser completo e terminar em .prom");
    const QString shown = QDir::toNativeSeparators(path);
    const QByteArray target = QFile::encodeName(path);
    if (const QString problem = ReplaceProblem(target, shown); !problem.isEmpty())
        return problem;

    // Hidden and without the .prom ending, the collector never reads it.
    QByteArray temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") +
                                        info.fileName() + QStringLiteral(".XXXXXX"));
    UniqueFd fd(::mkstemp(temp.data()));
    if (fd.get() < 0)
        return ErrnoText(errno);
    const auto discard = [&](int err) {
        ::unlink(temp.constData());
        return ErrnoText(err);
    };
    // The collector runs as another user.
    if (::fchmod(fd.get(), 0644) != 0)
        return discard(errno);
    const QByteArray bytes = text.toUtf8();
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n =
            ::write(fd.get(), bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return discard(n < 0 ? errno : EIO);
        done += n;
    }
    if (::close(fd.release()) != 0)
        return discard(errno);
    if (::rename(temp.constData(), target.constData()) != 0)
        return discard(errno);
    return {};
}

}  // namespace quindra
