// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tavlo {

struct PortDescription {
    QString name;        // what open() takes: /dev/ttyUSB0, COM12
    QString description; // "USB-Serial Controller", may be empty
    QString manufacturer;
    QString serialNumber;
    int vendorId = -1; // USB ids, -1 where there are none
    int productId = -1;

    // "/dev/ttyUSB0 — FT232R USB UART (0403:6001)", or the name alone.
    QString shown() const;
};

// What the port list and the port doctor read of the system: files, folders,
// processes, the user's groups and the serial ports the system knows. Reading
// never opens a port; only tryOpen does. Names are carried as files.h
// carries them, so a name that is not UTF-8 reaches the system again byte for
// byte. Tests hand in a fake.
class SystemView {
public:
    virtual ~SystemView() = default;

    struct Node {
        bool exists = false;
        bool isSymlink = false;
        bool isCharDevice = false;
        unsigned mode = 0; // permission bits
        unsigned uid = 0;
        unsigned gid = 0;
        bool isRegular = false;
        // What the node is, however it is named: the file system and the
        // node on it. A device unplugged and plugged in again is a new node.
        quint64 fileSystem = 0;
        quint64 inode = 0;
        bool isSameNode(const Node &other) const
        {
            return exists && other.exists && fileSystem == other.fileSystem && inode == other.inode;
        }
    };
    // The node itself, not where a link leads.
    virtual Node node(const QString &path) const = 0;
    // Where a path leads, every link followed; empty when nowhere.
    virtual QString resolved(const QString &path) const = 0;
    // The names in a folder; none when it cannot be read.
    virtual QStringList list(const QString &folder) const = 0;
    // A small regular file's text (a lock file, /proc/N/comm, /etc/group);
    // no value for anything else or a file that cannot be read. Never waits,
    // whatever the name leads to.
    virtual std::optional<QByteArray> read(const QString &path) const = 0;
    // Whether this user may delete the file: its folder takes changes, and a
    // sticky folder (/run/lock) lets only a file's owner remove it.
    virtual bool mayRemove(const QString &path) const = 0;
    // Deletes a file (a stale lock); false when it could not.
    virtual bool remove(const QString &path) const = 0;
    virtual bool processAlive(qint64 pid) const = 0;
    virtual unsigned userId() const = 0;
    virtual QString userName() const = 0;
    // The groups this process has now: a group joined after logging in is not among them.
    virtual QList<unsigned> groupIds() const = 0;
    virtual QList<PortDescription> serialPorts() const = 0;
    // Opens the port for reading and writing, exclusively, and closes it at
    // once, sending nothing. Empty when it could, else why not.
    virtual QString tryOpen(const QString &path) const = 0;
};

// The system this program runs on.
class RealSystemView : public SystemView {
public:
    Node node(const QString &path) const override;
    QString resolved(const QString &path) const override;
    QStringList list(const QString &folder) const override;
    std::optional<QByteArray> read(const QString &path) const override;
    bool mayRemove(const QString &path) const override;
    bool remove(const QString &path) const override;
    bool processAlive(qint64 pid) const override;
    unsigned userId() const override;
    QString userName() const override;
    QList<unsigned> groupIds() const override;
    QList<PortDescription> serialPorts() const override;
    QString tryOpen(const QString &path) const override;
};

} // namespace tavlo
