// SPDX-License-Identifier: GPL-3.0-or-later
#include "systemview.h"

#include "files.h"
#include "serialports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavlo {

SystemView::Node RealSystemView::node(const QString &path) const
{
    Node n;
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::lstat(files::bytesFromName(path).constData(), &st) != 0)
        return n;
    n.exists = true;
    n.isSymlink = S_ISLNK(st.st_mode);
    n.isCharDevice = S_ISCHR(st.st_mode);
    n.isRegular = S_ISREG(st.st_mode);
    n.mode = st.st_mode & 07777;
    n.uid = st.st_uid;
    n.gid = st.st_gid;
    n.fileSystem = quint64(st.st_dev);
    n.inode = quint64(st.st_ino);
#else
    n.exists = QFileInfo::exists(path);
#endif
    return n;
}

QString RealSystemView::resolved(const QString &path) const
{
#ifdef Q_OS_UNIX
    char *real = ::realpath(files::bytesFromName(path).constData(), nullptr);
    if (!real)
        return QString();
    const QString name = files::nameFromBytes(QByteArray(real));
    ::free(real);
    return name;
#else
    return QFileInfo(path).canonicalFilePath();
#endif
}

QStringList RealSystemView::list(const QString &folder) const
{
#ifdef Q_OS_UNIX
    // By the bytes of each name: QDir would turn a name that is not UTF-8
    // into one that leads nowhere.
    DIR *dir = ::opendir(files::bytesFromName(folder).constData());
    if (!dir)
        return {};
    QStringList names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << files::nameFromBytes(name);
    }
    ::closedir(dir);
    names.sort();
    return names;
#else
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
#endif
}

#ifdef Q_OS_UNIX
namespace {

// Everything up to `limit` bytes from a descriptor; no value on a failure.
std::optional<QByteArray> readUpTo(int fd, qint64 limit)
{
    QByteArray bytes(limit, '\0');
    qsizetype got = 0;
    while (got < limit) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(limit - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

} // namespace
#endif

std::optional<QByteArray> RealSystemView::read(const QString &path) const
{
    constexpr qint64 Enough = 256 * 1024;
#ifdef Q_OS_UNIX
    // Opened without waiting and without following a last link, and read
    // only when it is a regular file: a FIFO would hold the program for ever.
    const int fd = ::open(files::bytesFromName(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<QByteArray> content;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        content = readUpTo(fd, Enough);
    ::close(fd);
    return content;
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(Enough);
#endif
}

bool RealSystemView::mayRemove(const QString &path) const
{
#ifdef Q_OS_UNIX
    const QByteArray name = files::bytesFromName(path);
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray(slash == 0 ? "/" : ".") : name.left(slash);
    struct stat dir {};
    struct stat file {};
    if (::stat(folder.constData(), &dir) != 0 || ::lstat(name.constData(), &file) != 0)
        return false;
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return false;
    const uid_t me = ::geteuid();
    return !(dir.st_mode & S_ISVTX) || me == 0 || file.st_uid == me || dir.st_uid == me;
#else
    return QFileInfo(QFileInfo(path).path()).isWritable();
#endif
}

bool RealSystemView::remove(const QString &path) const
{
#ifdef Q_OS_UNIX
    return ::unlink(files::bytesFromName(path).constData()) == 0;
#else
    return QFile::remove(path);
#endif
}

bool RealSystemView::processAlive(qint64 pid) const
{
#ifdef Q_OS_UNIX
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
#else
    Q_UNUSED(pid)
    return false;
#endif
}

unsigned RealSystemView::userId() const
{
#ifdef Q_OS_UNIX
    return ::getuid();
#else
    return 1;
#endif
}

QString RealSystemView::userName() const
{
    const QString name = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    return name.isEmpty() ? QStringLiteral("$USER") : name;
}

QList<unsigned> RealSystemView::groupIds() const
{
    QList<unsigned> ids;
#ifdef Q_OS_UNIX
    ids << ::getegid();
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        QList<gid_t> groups(count);
        const int got = ::getgroups(count, groups.data());
        for (int i = 0; i < got; ++i)
            ids << groups[i];
    }
#endif
    return ids;
}

QList<PortDescription> RealSystemView::serialPorts() const
{
    return availablePorts();
}

QString RealSystemView::tryOpen(const QString &path) const
{
#ifdef Q_OS_UNIX
    const int fd = ::open(files::bytesFromName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    QString why;
    // Another program that holds it exclusively, as this program's own tools do.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        why = QStringLiteral("another program holds it (flock)");
    ::close(fd);
    return why;
#else
    WinSerialPort port;
    if (!port.open(path))
        return port.errorString();
    port.close();
    return QString();
#endif
}

QString PortDescription::shown() const
{
    QString text = name;
    if (!description.isEmpty())
        text += QStringLiteral(" \u2014 ") + description;
    if (vendorId >= 0 && productId >= 0)
        text += QStringLiteral(" (%1:%2)")
                    .arg(vendorId, 4, 16, QLatin1Char('0'))
                    .arg(productId, 4, 16, QLatin1Char('0'));
    return text;
}

} // namespace tavlo
