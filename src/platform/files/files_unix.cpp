// SPDX-License-Identifier: GPL-3.0-or-later
// Files on Unix: names as bytes, and replacing a file the way careful tools
// do, keeping what it was.
#include "files.h"

#include <QRegularExpression>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tavlo::files {

namespace {

const char NoFileName[] = "no file name given";

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

Status<> failure(int error)
{
    return Status<>::failure(systemError(error));
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

// Standard output or error, when that is where a name leads however it is
// spelt (//dev/stdout, /dev/./stdout, a link to it, or the file the shell
// opened for it): known by device and inode, not by the name.
int standardStreamAt(const QString &path)
{
    if (const int fd = descriptorNamed(path); fd >= 0)
        return fd;
    struct stat named {};
    if (::stat(bytesFromName(path).constData(), &named) != 0)
        return -1;
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat stream {};
        if (::fstat(fd, &stream) == 0 && stream.st_dev == named.st_dev &&
            stream.st_ino == named.st_ino)
            return fd;
    }
    return -1;
}

Status<> writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failure(errno);
        }
        done += n;
    }
    return Done{};
}

Status<> closeChecked(int fd, Status<> written)
{
    if (::close(fd) != 0 && written)
        return failure(errno);
    return written;
}

// A FIFO, device or other file that is not regular: written as it is, never
// truncated or replaced. The open never waits: a FIFO nobody reads would
// hold the program (and the device it talks to) for ever.
Status<> writeInPlace(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENXIO)
        return Status<>::failure(
            QStringLiteral("it is a FIFO that no program reads from; start its reader first"));
    if (fd < 0)
        return failure(errno);
    if (const int flags = ::fcntl(fd, F_GETFL); flags != -1)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return closeChecked(fd, writeAll(fd, bytes));
}

// A regular file rewritten from its start and cut to the new length: every
// hard link, the owner, group and mode stay; not atomic, as cp is not.
Status<> rewriteInPlace(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failure(errno);
    Status<> written = writeAll(fd, bytes);
    if (written && ::ftruncate(fd, bytes.size()) != 0)
        written = failure(errno);
    if (written && ::fsync(fd) != 0)
        written = failure(errno);
    return closeChecked(fd, written);
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

enum class Replaced { Yes, NoNewFileThere, Failed };

// ".NAME.XXXXXX" beside `path`, with NAME cut so that the whole still fits
// the longest name the system takes.
QByteArray temporaryNameBeside(const QByteArray &path)
{
    constexpr qsizetype Added = 8; // the dot before, ".XXXXXX" after
    const QByteArray base = path.mid(path.lastIndexOf('/') + 1);
    return folderOf(path) + "/." + base.left(NAME_MAX - Added) + ".XXXXXX";
}

// Gives the new file every extended attribute of the one it replaces, the
// access control lists among them. False when one could not be copied.
bool copyAttributes(const QByteArray &from, int to)
{
    const ssize_t size = ::listxattr(from.constData(), nullptr, 0);
    if (size <= 0)
        return size == 0 || errno == ENOTSUP;
    QByteArray names(size, '\0');
    const ssize_t listed = ::listxattr(from.constData(), names.data(), size_t(names.size()));
    if (listed < 0)
        return false;
    names.truncate(listed);
    for (const QByteArray &name : names.split('\0')) {
        if (name.isEmpty())
            continue;
        const ssize_t length = ::getxattr(from.constData(), name.constData(), nullptr, 0);
        if (length < 0)
            return false;
        QByteArray value(length, '\0');
        const ssize_t got =
            ::getxattr(from.constData(), name.constData(), value.data(), size_t(value.size()));
        if (got < 0 || ::fsetxattr(to, name.constData(), value.constData(), size_t(got), 0) != 0)
            return false;
    }
    return true;
}

enum class Kept { Yes, NotAllowed, Failed };

// Gives the new file `fd` what the one it replaces had: owner, group, mode and
// extended attributes. NotAllowed where this user may not give one of them
// (only rewriting keeps them then); Failed with errno set.
Kept keepWhatItWas(int fd, const QByteArray &path, const struct stat *old)
{
    struct stat made {};
    if (::fstat(fd, &made) != 0)
        return Kept::Failed;
    if (old && (made.st_uid != old->st_uid || made.st_gid != old->st_gid) &&
        ::fchown(fd, old->st_uid, old->st_gid) != 0)
        return Kept::NotAllowed;
    if (::fchmod(fd, old ? old->st_mode & 07777 : newFileMode()) != 0)
        return Kept::Failed;
    if (old && !copyAttributes(path, fd))
        return Kept::NotAllowed;
    return Kept::Yes;
}

// A temporary file beside `path`, renamed over it once complete. `old`, when
// given, is the file replaced: its owner, group and mode go to the new one.
Replaced replaceAtomically(const QByteArray &path, const struct stat *old, const QByteArray &bytes,
                           Status<> &result)
{
    QByteArray temp = temporaryNameBeside(path);
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return Replaced::NoNewFileThere;
    auto give = [&](int error) {
        ::close(fd);
        ::unlink(temp.constData());
        result = failure(error);
        return Replaced::Failed;
    };
    switch (keepWhatItWas(fd, path, old)) {
    case Kept::Yes:
        break;
    case Kept::NotAllowed:
        ::close(fd);
        ::unlink(temp.constData());
        return Replaced::NoNewFileThere;
    case Kept::Failed:
        return give(errno);
    }
    if (const Status<> written = writeAll(fd, bytes); !written) {
        ::close(fd);
        ::unlink(temp.constData());
        result = written;
        return Replaced::Failed;
    }
    if (::fsync(fd) != 0)
        return give(errno);
    if (::close(fd) != 0) {
        ::unlink(temp.constData());
        result = failure(errno);
        return Replaced::Failed;
    }
    if (::rename(temp.constData(), path.constData()) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        result = failure(error);
        return Replaced::Failed;
    }
    result = Done{};
    return Replaced::Yes;
}

// Where a name leads: itself, or the target of a symbolic link; empty with
// `error` set for a dangling link.
QByteArray followLink(const QByteArray &path, QString &error)
{
    struct stat link {};
    if (::lstat(path.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    struct stat target {};
    char resolved[PATH_MAX];
    if (::stat(path.constData(), &target) != 0 || !::realpath(path.constData(), resolved)) {
        error = QStringLiteral("it is a symbolic link to a file that does not exist");
        return QByteArray();
    }
    return QByteArray(resolved);
}

} // namespace

Result<QByteArray> readFile(const QString &path, qint64 maxBytes)
{
    using Read = Result<QByteArray>;
    if (path.isEmpty())
        return Read::failure(QString::fromLatin1(NoFileName));
    const int fd = ::open(bytesFromName(path).constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Read::failure(systemError(errno));
    QByteArray bytes;
    char chunk[16384];
    for (;;) {
        const qint64 room = maxBytes < 0 ? qint64(sizeof chunk)
                                         : std::min<qint64>(sizeof chunk, maxBytes - bytes.size());
        if (room <= 0)
            break;
        const ssize_t n = ::read(fd, chunk, size_t(room));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return Read::failure(systemError(error));
        }
        if (n == 0)
            break;
        bytes.append(chunk, n);
    }
    ::close(fd);
    return bytes;
}

qint64 regularFileSize(const QString &path)
{
    struct stat st {};
    if (::stat(bytesFromName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

Status<> checkWritable(const QString &path)
{
    if (path.isEmpty())
        return Status<>::failure(QString::fromLatin1(NoFileName));
    if (standardStreamAt(path) >= 0)
        return Done{};
    QString linkError;
    const QByteArray target = followLink(bytesFromName(path), linkError);
    if (target.isEmpty())
        return Status<>::failure(linkError);
    struct stat st {};
    if (::stat(target.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return Status<>::failure(QStringLiteral("it is a folder"));
        if (::access(target.constData(), W_OK) == 0)
            return Done{};
        const int error = errno;
        // A regular file that cannot be written may still be replaced.
        if (S_ISREG(st.st_mode) && ::access(folderOf(target).constData(), W_OK | X_OK) == 0)
            return Done{};
        return failure(error);
    }
    if (errno != ENOENT)
        return failure(errno);
    const QByteArray folder = folderOf(target);
    struct stat dir {};
    if (::stat(folder.constData(), &dir) != 0 || !S_ISDIR(dir.st_mode))
        return Status<>::failure(
            QStringLiteral("there is no folder %1").arg(nameFromBytes(folder)));
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return Status<>::failure(QStringLiteral("the folder %1 takes no new file: %2")
                                     .arg(nameFromBytes(folder), systemError(errno)));
    return Done{};
}

Status<> writeFileSafely(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return Status<>::failure(QString::fromLatin1(NoFileName));
    if (const int fd = standardStreamAt(path); fd >= 0)
        return writeAll(fd, bytes);
    QString linkError;
    const QByteArray target = followLink(bytesFromName(path), linkError);
    if (target.isEmpty())
        return Status<>::failure(linkError);
    struct stat st {};
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return Status<>::failure(QStringLiteral("it is a folder"));
    if (exists && !S_ISREG(st.st_mode))
        return writeInPlace(target, bytes);
    if (exists && st.st_nlink > 1)
        return rewriteInPlace(target, bytes);
    Status<> result = Done{};
    switch (replaceAtomically(target, exists ? &st : nullptr, bytes, result)) {
    case Replaced::Yes:
    case Replaced::Failed:
        return result;
    case Replaced::NoNewFileThere:
        break;
    }
    // A folder that takes no new file (or no new owner) still lets a
    // writable file be rewritten, as cp does.
    if (exists)
        return rewriteInPlace(target, bytes);
    return failure(errno == 0 ? EACCES : errno);
}

bool isSameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    struct stat sa {};
    struct stat sb {};
    return ::stat(bytesFromName(a).constData(), &sa) == 0 &&
           ::stat(bytesFromName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool leadsToStandardOutput(const QString &path)
{
    return standardStreamAt(path) == STDOUT_FILENO;
}

} // namespace tavlo::files
