// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagefile.h"

#include "displaytext.h"
#include "image.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavlo {

namespace {

const char NoFileName[] = "no file name given";

#ifdef Q_OS_UNIX
QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The descriptor of this process a name stands for: /dev/stdout, /dev/fd/3,
// /proc/self/fd/1. Reopening such a name would lose the descriptor's
// position and append mode, and renaming over it would replace what it
// leads to (the file a shell appends to, say).
int descriptorNamed(const QString &path)
{
    if (path == QLatin1String("/dev/stdout"))
        return STDOUT_FILENO;
    if (path == QLatin1String("/dev/stderr"))
        return STDERR_FILENO;
    static const QRegularExpression named(
        QStringLiteral("^(?:/dev/fd|/proc/self/fd|/proc/thread-self/fd|/proc/(\\d+)/fd)/(\\d+)$"));
    const QRegularExpressionMatch m = named.match(path);
    if (!m.hasMatch())
        return -1;
    if (m.capturedLength(1) > 0 && m.captured(1).toLongLong() != ::getpid())
        return -1;
    bool ok = false;
    const int fd = m.captured(2).toInt(&ok);
    return ok && ::fcntl(fd, F_GETFD) != -1 ? fd : -1;
}

Status<> writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Status<>::failure(systemError(errno));
        }
        done += n;
    }
    return Done{};
}

// A FIFO, device or other file that is not regular: written in place, never
// truncated or replaced.
Status<> writeInPlace(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Status<>::failure(systemError(errno));
    const Status<> written = writeAll(fd, bytes);
    if (::close(fd) != 0 && written)
        return Status<>::failure(systemError(errno));
    return written;
}
#endif

Status<> writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status<>::failure(file.errorString());
    // commit() alone can report success after a failed write on a full disk,
    // so every step is checked and the write cancelled before committing.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting(); // the temporary file is dropped with `file`
        return Status<>::failure(reason);
    }
    if (!file.commit())
        return Status<>::failure(file.errorString());
    return Done{};
}

} // namespace

Result<QByteArray> readFile(const QString &path, qint64 maxBytes)
{
    using Read = Result<QByteArray>;
    if (path.isEmpty())
        return Read::failure(QString::fromLatin1(NoFileName));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Read::failure(file.errorString());
    QByteArray bytes = maxBytes < 0 ? file.readAll() : file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        return Read::failure(file.errorString());
    return bytes;
}

Result<QByteArray> readBoundedFile(const QString &path, qint64 limit)
{
    const auto tooLarge = [limit] {
        return Result<QByteArray>::failure(
            QStringLiteral("it is larger than %1").arg(countOf(limit, "byte", "bytes")));
    };
    const QFileInfo info(path);
    if (!path.isEmpty() && info.isFile() && info.size() > limit)
        return tooLarge();
    Result<QByteArray> read = readFile(path, limit + 1);
    if (read && read->size() > limit)
        return tooLarge();
    return read;
}

Status<> writeFileSafely(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return Status<>::failure(QString::fromLatin1(NoFileName));
#ifdef Q_OS_UNIX
    if (const int fd = descriptorNamed(path); fd >= 0)
        return writeAll(fd, bytes);
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return Status<>::failure(QStringLiteral("it is a folder"));
        if (!S_ISREG(st.st_mode))
            return writeInPlace(path, bytes);
    }
#endif
    return writeAtomically(path, bytes);
}

bool isSameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
#ifdef Q_OS_UNIX
    struct stat sa {};
    struct stat sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
#else
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
#endif
}

Result<Configuration> openImageFile(const QString &path)
{
    const Result<QByteArray> read = readFile(path, ImageReadSize);
    if (!read)
        return Result<Configuration>::failure(
            QStringLiteral("Could not open %1: %2").arg(printable(path), read.error()));
    Result<Configuration> decoded = decodeImage(*read);
    if (!decoded)
        return Result<Configuration>::failure(
            QStringLiteral("%1 is %2").arg(printable(path), decoded.error()));
    return decoded;
}

} // namespace tavlo
