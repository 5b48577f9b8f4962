// SPDX-License-Identifier: GPL-3.0-or-later
#include "systemview.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
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
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return n;
    n.exists = true;
    n.isSymlink = S_ISLNK(st.st_mode);
    n.isCharDevice = S_ISCHR(st.st_mode);
    n.mode = st.st_mode & 07777;
    n.uid = st.st_uid;
    n.gid = st.st_gid;
#else
    n.exists = QFileInfo::exists(path);
#endif
    return n;
}

QString RealSystemView::resolved(const QString &path) const
{
    return QFileInfo(path).canonicalFilePath();
}

QStringList RealSystemView::list(const QString &folder) const
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QByteArray RealSystemView::read(const QString &path) const
{
    constexpr qint64 Enough = 256 * 1024;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(Enough) : QByteArray();
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
    return QtSerialPort::availablePorts();
}

QString RealSystemView::tryOpen(const QString &path) const
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    QString why;
    // Another program that holds it exclusively, as this program's own tools do.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        why = QStringLiteral("another program holds it (flock)");
    ::close(fd);
    return why;
#else
    QFile port(path);
    return port.open(QIODevice::ReadWrite) ? QString() : port.errorString();
#endif
}

} // namespace tavlo
