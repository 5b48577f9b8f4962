// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace tavlo {

class SystemView;

// The name a port is opened and locked by: where a symbolic link (such as
// /dev/serial/by-id/...) leads, so that two names for one port share a lock.
QString resolvedPortName(const QString &name);

// Who holds a port by a lock file in the system's lock folder: the
// conventional LCK..NAME file with a process number in it.
struct PortLockCheck {
    bool busy = false;
    QString holder;      // "process 1234 (minicom) in /var/lock/LCK..ttyUSB0"
    QStringList removed; // stale lock files that were removed, as sentences
};

// Looks for lock files of `resolved` (and of `given`, when another name was
// given). A lock of a live process means busy and is never touched; the
// lock of a process that is gone is removed, as other serial programs do.
PortLockCheck checkPortLocks(const QString &given, const QString &resolved);

// The lock file name of a port: LCK..ttyUSB0 for /dev/ttyUSB0, LCK..pts_3
// for /dev/pts/3 (the name below /dev with "/" as "_").
QString lockFileName(const QString &port);
// The port a lock file name stands for: /dev/pts/3 for LCK..pts_3.
QString portOfLockFile(const QString &fileName);
// The process number in a lock file's content; 0 when it names none.
qint64 lockFileOwner(const QByteArray &content);

// The program of the process a lock file names: as it runs, or else as the
// lock file names it (Qt writes it on the second line).
QString lockHolder(const SystemView &system, qint64 pid, const QByteArray &content);

// Holds an exclusive advisory lock on an open port's descriptor, so that a
// second opener fails even where the exclusive open does not stop it (root).
bool lockDescriptor(qintptr handle);

} // namespace tavlo
