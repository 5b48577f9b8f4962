// SPDX-License-Identifier: GPL-3.0-or-later
#include "portlock.h"

#include "displaytext.h"
#include "files.h"
#include "systemview.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <climits>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavlo {

namespace {

// Printable ASCII and line ends: what a lock written as text holds.
bool isText(const QByteArray &content)
{
    return std::all_of(content.begin(), content.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u >= 0x20 && u < 0x7F) || c == '\n' || c == '\r' || c == '\t';
    });
}

} // namespace

QString lockFileName(const QString &port)
{
    QString name = port;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    return QStringLiteral("LCK..") + name.replace(u'/', u'_');
}

QString portOfLockFile(const QString &fileName)
{
    QString name = fileName.mid(5); // after "LCK.."
    return QStringLiteral("/dev/") + name.replace(u'_', u'/');
}

qint64 lockFileOwner(const QByteArray &content)
{
    if (content.size() == 4 && !isText(content)) {
        qint32 binary = 0;
        std::memcpy(&binary, content.constData(), 4);
        return std::max<qint32>(binary, 0);
    }
    const QByteArray first = content.split('\n').value(0).trimmed();
    constexpr qsizetype Digits = 10;
    if (first.isEmpty() || first.size() > Digits ||
        !std::all_of(first.begin(), first.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    // A process number is a positive int: 4294967297 names no process, not 1.
    const qint64 pid = first.toLongLong();
    return pid <= INT_MAX ? pid : 0;
}

QString lockHolder(const SystemView &system, qint64 pid, const QByteArray &content)
{
    const QByteArray running =
        system.read(QStringLiteral("/proc/%1/comm").arg(pid)).value_or(QByteArray()).trimmed();
    if (!running.isEmpty())
        return files::nameFromBytes(running);
    const QByteArray named = content.split('\n').value(1).trimmed();
    return named.isEmpty() ? QStringLiteral("an unknown program") : files::nameFromBytes(named);
}

LockFileState inspectLockFile(const SystemView &system, const QString &path)
{
    using Kind = LockFileState::Kind;
    LockFileState state;
    state.path = path;
    state.mayRemove = system.mayRemove(path);
    const SystemView::Node node = system.node(path);
    if (node.isSymlink && system.resolved(path).isEmpty()) {
        state.kind = Kind::DanglingLink;
        return state;
    }
    const std::optional<QByteArray> content = system.read(path);
    if (!content || node.isSymlink || !node.isRegular) {
        state.kind = Kind::Unreadable;
        state.why = node.isSymlink   ? QStringLiteral("a symbolic link")
                    : node.isRegular ? QStringLiteral("not readable for you")
                                     : QStringLiteral("not a regular file");
        return state;
    }
    state.pid = lockFileOwner(*content);
    if (state.pid <= 0) {
        state.kind = Kind::NoProcess;
        return state;
    }
    state.program = lockHolder(system, state.pid, *content);
    state.kind = system.processAlive(state.pid) ? Kind::Live : Kind::Stale;
    return state;
}

QString LockFileState::text() const
{
    const QString file = printable(path);
    switch (kind) {
    case Kind::Live:
        return QStringLiteral("locked by process %1 (%2), running, in %3")
            .arg(pid)
            .arg(printable(program), file);
    case Kind::Stale:
        return QStringLiteral("a stale lock %1 of process %2, which has ended%3")
            .arg(file)
            .arg(pid)
            .arg(mayRemove ? QString() : QStringLiteral(", in a folder you may not change"));
    case Kind::NoProcess:
        return QStringLiteral("a lock file %1 that names no process; it may be stale").arg(file);
    case Kind::Unreadable:
        return QStringLiteral("a lock file %1 that cannot be read (%2); it may be stale")
            .arg(file, why);
    case Kind::DanglingLink:
        break;
    }
    return QStringLiteral("a symbolic link %1 that leads nowhere, where a lock file belongs")
        .arg(file);
}

QString LockFileState::removeCommand() const
{
    return (mayRemove ? QStringLiteral("rm -- ") : QStringLiteral("sudo rm -- ")) +
           shellQuoted(path);
}

QString resolvedPortName(const QString &name)
{
    const QString canonical = QFileInfo(name).canonicalFilePath();
    return canonical.isEmpty() ? name : canonical;
}

#ifdef Q_OS_UNIX
namespace {

// Every lock file that may stand for the port, each once.
QStringList lockFiles(const SystemView &system, const QString &given, const QString &resolved)
{
    // The FHS names a lock after the device's base name; Qt and others after
    // the path below /dev. Both are looked at, for each name of the port.
    QStringList names{lockFileName(resolved),
                      QStringLiteral("LCK..") + QFileInfo(resolved).fileName()};
    if (given != resolved)
        names << lockFileName(given);
    names.removeDuplicates();
    QStringList paths;
    QSet<QString> seen;
    for (const char *folder : LockFolders) {
        const QString real = system.resolved(QString::fromLatin1(folder));
        for (const QString &name : names) {
            // One folder may be a link to the other: each file once, by where it is.
            const QString key = (real.isEmpty() ? QString::fromLatin1(folder) : real) + u'/' + name;
            if (system.node(QString::fromLatin1(folder) + u'/' + name).exists &&
                !seen.contains(key)) {
                seen.insert(key);
                paths << QString::fromLatin1(folder) + u'/' + name;
            }
        }
    }
    return paths;
}

} // namespace
#endif

PortLockCheck checkPortLocks(const SystemView &system, const QString &given,
                             const QString &resolved)
{
    PortLockCheck check;
#ifdef Q_OS_UNIX
    for (const QString &path : lockFiles(system, given, resolved)) {
        const LockFileState lock = inspectLockFile(system, path);
        if (lock.kind == LockFileState::Kind::Live && lock.pid == qint64(::getpid()))
            continue; // this process's own claim, kept through a reset
        if (lock.blocks()) {
            check.busy = true;
            check.holder = lock;
            return check;
        }
        if (system.remove(path))
            check.removed << QStringLiteral("removed the stale lock file %1 of process %2, which "
                                            "has ended")
                                 .arg(printable(path))
                                 .arg(lock.pid);
    }
#else
    Q_UNUSED(system)
    Q_UNUSED(given)
    Q_UNUSED(resolved)
#endif
    return check;
}

bool lockDescriptor([[maybe_unused]] qintptr handle)
{
#ifdef Q_OS_UNIX
    return ::flock(int(handle), LOCK_EX | LOCK_NB) == 0;
#else
    return true; // Windows opens a port exclusively
#endif
}

bool PortClaim::take([[maybe_unused]] const QString &resolved)
{
    release();
#ifdef Q_OS_UNIX
    // In the folder and under the name the serial library locks the port by,
    // so that every program that looks for its lock finds this one.
    for (const char *folder : LockFolders) {
        const QByteArray path =
            QByteArray(folder) + '/' + files::bytesFromName(lockFileName(resolved));
        const int fd =
            ::open(path.constData(),
                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                return false;
            continue; // a folder this user cannot write: the next one
        }
        const QByteArray program =
            QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8();
        const QByteArray content =
            QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n' + program + '\n';
        struct stat st {};
        const bool written =
            ::write(fd, content.constData(), size_t(content.size())) == ssize_t(content.size()) &&
            ::fstat(fd, &st) == 0;
        ::close(fd);
        if (!written) {
            ::unlink(path.constData());
            return false;
        }
        m_path = path;
        m_port = resolved;
        m_device = st.st_dev;
        m_inode = st.st_ino;
        return true;
    }
#endif
    return false;
}

void PortClaim::release()
{
#ifdef Q_OS_UNIX
    // Only the file this claim wrote: another may have been put in its place.
    struct stat st {};
    if (!m_path.isEmpty() && ::lstat(m_path.constData(), &st) == 0 && st.st_dev == m_device &&
        st.st_ino == m_inode)
        ::unlink(m_path.constData());
#endif
    m_path.clear();
    m_port.clear();
}

} // namespace tavlo
