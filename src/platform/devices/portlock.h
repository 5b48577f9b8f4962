// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tavlo {

class SystemView;

// The name a port is opened and locked by: where a symbolic link (such as
// /dev/serial/by-id/...) leads, so that two names for one port share a lock.
QString resolvedPortName(const QString &name);

// The folders lock files are kept in; /var/lock is often a link to /run/lock.
inline const char *const LockFolders[] = {"/var/lock", "/run/lock"};

// What one lock file says about its port, read the way its writers wrote it.
struct LockFileState {
    enum class Kind {
        Live,         // names a running process: the port is held
        Stale,        // names a process that has ended
        NoProcess,    // empty, or no process number in it: it may be stale
        Unreadable,   // not a regular file, or it cannot be read: it may be stale
        DanglingLink, // a symbolic link to nothing: no program's lock
    };
    Kind kind = Kind::NoProcess;
    QString path;
    qint64 pid = 0;
    QString program;        // of a live or stale lock
    QString why;            // for Unreadable: the system's words
    bool mayRemove = false; // whether this user may delete the file

    // Whether the opener leaves the port alone: everything but a stale lock
    // it may remove.
    bool blocks() const { return !(kind == Kind::Stale && mayRemove); }
    // "process 1234 (minicom) in /var/lock/LCK..ttyUSB0" and the like,
    // names escaped for a terminal.
    QString text() const;
    // The command that removes it, quoted for a shell.
    QString removeCommand() const;
};

// Reads one lock file without ever waiting on it (a FIFO planted in the
// lock folder) and without following it anywhere.
LockFileState inspectLockFile(const SystemView &system, const QString &path);

// Who holds a port by a lock file in the system's lock folders.
struct PortLockCheck {
    bool busy = false;
    LockFileState holder; // the lock that keeps the port, when busy
    QStringList removed;  // stale lock files that were removed, as sentences
};

// Looks for lock files of `resolved` (and of `given`, when another name was
// given). Only the lock of a process that has ended, in a folder this user
// may change, is removed, as other serial programs do; every other lock is
// left as it is and keeps the port.
PortLockCheck checkPortLocks(const SystemView &system, const QString &given,
                             const QString &resolved);

// The lock file name of a port: LCK..ttyUSB0 for /dev/ttyUSB0, LCK..pts_3
// for /dev/pts/3 (the name below /dev with "/" as "_").
QString lockFileName(const QString &port);
// The port a lock file name stands for: /dev/pts/3 for LCK..pts_3.
QString portOfLockFile(const QString &fileName);
// The process number in a lock file's content: ten ASCII digits and a
// newline (or Qt's three lines), or the 4-byte binary number of old
// programs where the content cannot be text; 0 when it names none.
qint64 lockFileOwner(const QByteArray &content);

// The program of the process a lock file names: as it runs, or else as the
// lock file names it (Qt writes it on the second line).
QString lockHolder(const SystemView &system, qint64 pid, const QByteArray &content);

// Holds an exclusive advisory lock on an open port's descriptor, so that a
// second opener fails even where the exclusive open does not stop it (root).
bool lockDescriptor(qintptr handle);

// A lock file of this process's own, that keeps a port claimed while it is
// closed for a device reset; removed when released or destroyed.
class PortClaim {
public:
    PortClaim() = default;
    PortClaim(const PortClaim &) = delete;
    PortClaim &operator=(const PortClaim &) = delete;
    ~PortClaim() { release(); }

    // Writes the lock file of `resolved`; false when another file is there.
    bool take(const QString &resolved);
    // Removes the lock file, if it is still the one this claim wrote.
    void release();
    bool held() const { return !m_path.isEmpty(); }
    QString port() const { return m_port; }

private:
    QByteArray m_path;
    QString m_port;
    quint64 m_device = 0;
    quint64 m_inode = 0;
};

} // namespace tavlo
