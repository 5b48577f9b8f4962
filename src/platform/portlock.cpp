// SPDX-License-Identifier: GPL-3.0-or-later
#include "portlock.h"

#include "systemview.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cstring>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace tavlo {

namespace {

#ifdef Q_OS_UNIX
// The folders lock files are kept in; /var/lock is often a link to /run/lock.
const char *const LockFolders[] = {"/var/lock", "/run/lock"};

#endif

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

// ASCII ("%10d\n", or Qt's three lines), or the 4-byte binary number of
// older programs.
qint64 lockFileOwner(const QByteArray &content)
{
    bool ok = false;
    const qint64 pid = content.split('\n').value(0).trimmed().toLongLong(&ok);
    if (ok)
        return pid;
    if (content.size() == 4) {
        qint32 binary = 0;
        std::memcpy(&binary, content.constData(), 4);
        return binary;
    }
    return 0;
}

QString lockHolder(const SystemView &system, qint64 pid, const QByteArray &content)
{
    const QByteArray running = system.read(QStringLiteral("/proc/%1/comm").arg(pid)).trimmed();
    if (!running.isEmpty())
        return QString::fromUtf8(running);
    const QByteArray named = content.split('\n').value(1).trimmed();
    return named.isEmpty() ? QStringLiteral("an unknown program") : QString::fromUtf8(named);
}

QString resolvedPortName(const QString &name)
{
    const QString canonical = QFileInfo(name).canonicalFilePath();
    return canonical.isEmpty() ? name : canonical;
}

#ifdef Q_OS_UNIX
namespace {

// One lock file: busy when its process lives, removed when it has ended.
void checkLockFile(const QString &path, PortLockCheck &check)
{
    const RealSystemView system;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = file.read(4096);
    const qint64 pid = lockFileOwner(content);
    if (pid == qint64(::getpid()))
        return;
    if (pid <= 0 || system.processAlive(pid)) {
        check.busy = true;
        check.holder = pid <= 0 ? QStringLiteral("a lock file that names no process, %1").arg(path)
                                : QStringLiteral("process %1 (%2) in %3")
                                      .arg(pid)
                                      .arg(lockHolder(system, pid, content), path);
        return;
    }
    if (QFile::remove(path))
        check.removed << QStringLiteral("removed the stale lock file %1 of process %2, which has "
                                        "ended")
                             .arg(path)
                             .arg(pid);
}

// Every lock file that may stand for the port, each once.
QStringList lockFiles(const QString &given, const QString &resolved)
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
        for (const QString &name : names) {
            const QString path = QString::fromLatin1(folder) + u'/' + name;
            const QString canonical = QFileInfo(path).canonicalFilePath();
            if (!canonical.isEmpty() && !seen.contains(canonical)) {
                seen.insert(canonical);
                paths << path;
            }
        }
    }
    return paths;
}

} // namespace
#endif

PortLockCheck checkPortLocks(const QString &given, const QString &resolved)
{
    PortLockCheck check;
#ifdef Q_OS_UNIX
    for (const QString &path : lockFiles(given, resolved)) {
        checkLockFile(path, check);
        if (check.busy)
            break;
    }
#else
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

} // namespace tavlo
