// SPDX-License-Identifier: GPL-3.0-or-later
#include "portdoctor.h"

#include "displaytext.h"
#include "files.h"
#include "portlock.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace tavlo::ports {

namespace {

const char ByIdFolder[] = "/dev/serial/by-id";
// The group that owns serial ports where no port says: Debian's, then others'.
const char *const SerialGroups[] = {"dialout", "uucp"};

QString groupRemedy(const QString &group)
{
    return QStringLiteral("sudo usermod -aG %1 $USER, then log out and in again").arg(group);
}

const char BrlttyRemedy[] = "sudo apt remove brltty, then plug the adapter in again";
const char ModemManagerRemedy[] = "sudo systemctl disable --now ModemManager";
const char MissingRemedy[] = "plug the adapter in and check the name; tavlo-image ports lists "
                             "the ports there are";

struct Group {
    QString name;
    unsigned gid = 0;
    QStringList members;
};

QList<Group> groups(const SystemView &system)
{
    QList<Group> found;
    const QByteArray table = system.read(QStringLiteral("/etc/group")).value_or(QByteArray());
    for (const QByteArray &line : table.split('\n')) {
        const QList<QByteArray> parts = line.split(':');
        if (parts.size() < 4)
            continue;
        QStringList members;
        for (const QByteArray &m : parts[3].split(','))
            if (!m.trimmed().isEmpty())
                members << QString::fromUtf8(m.trimmed());
        found.append({QString::fromUtf8(parts[0]), parts[2].toUInt(), members});
    }
    return found;
}

QString groupName(const QList<Group> &all, unsigned gid)
{
    for (const Group &g : all)
        if (g.gid == gid)
            return g.name;
    return QString::number(gid);
}

QString modeText(const SystemView::Node &node)
{
    QString text = node.isCharDevice ? QStringLiteral("c") : QStringLiteral("-");
    const char letters[] = "rwx";
    for (int bit = 8; bit >= 0; --bit)
        text += node.mode & (1U << bit) ? QLatin1Char(letters[(8 - bit) % 3]) : QLatin1Char('-');
    return text;
}

bool mayOpen(const SystemView &system, const SystemView::Node &node)
{
    constexpr unsigned Owner = 0600;
    constexpr unsigned Group = 0060;
    constexpr unsigned Others = 0006;
    if (system.userId() == 0)
        return true;
    if (node.uid == system.userId())
        return (node.mode & Owner) == Owner;
    if (system.groupIds().contains(node.gid))
        return (node.mode & Group) == Group;
    return (node.mode & Others) == Others;
}

LockFile readLock(const SystemView &system, const QString &path, const QString &name)
{
    return {inspectLockFile(system, path), portOfLockFile(name)};
}

// Every lock file in the lock folders, each once (/var/lock is often /run/lock).
QList<LockFile> lockFiles(const SystemView &system)
{
    QList<LockFile> locks;
    QSet<QString> seen;
    for (const char *folder : LockFolders) {
        for (const QString &name : system.list(QString::fromLatin1(folder))) {
            const QString path = QString::fromLatin1(folder) + u'/' + name;
            const QString real = system.resolved(path);
            if (!name.startsWith(QLatin1String("LCK..")) ||
                seen.contains(real.isEmpty() ? path : real))
                continue;
            seen.insert(real.isEmpty() ? path : real);
            locks << readLock(system, path, name);
        }
    }
    return locks;
}

// The stable /dev/serial/by-id name of a port, if it has one.
QString byIdLink(const SystemView &system, const QString &real)
{
    for (const QString &link : system.list(QString::fromLatin1(ByIdFolder))) {
        const QString path = QString::fromLatin1(ByIdFolder) + u'/' + link;
        if (!real.isEmpty() && system.resolved(path) == real)
            return path;
    }
    return QString();
}

} // namespace

QList<SurveyedPort> surveyPorts(const SystemView &system)
{
    const QList<Group> all = groups(system);
    const QList<LockFile> locks = lockFiles(system);
    QList<SurveyedPort> surveyed;
    for (const PortDescription &port : system.serialPorts()) {
        SurveyedPort s;
        s.port = port;
        const QString real = system.resolved(port.name);
        s.byId = byIdLink(system, real);
        std::copy_if(locks.begin(), locks.end(), std::back_inserter(s.locks),
                     [&](const LockFile &lock) {
                         return lock.port == port.name || (!real.isEmpty() && lock.port == real);
                     });
        const SystemView::Node node = system.node(real.isEmpty() ? port.name : real);
        if (node.exists) {
            s.mode = modeText(node);
            s.group = groupName(all, node.gid);
            s.mayOpen = mayOpen(system, node);
        }
        surveyed << s;
    }
    return surveyed;
}

QString portLine(const SurveyedPort &s)
{
    QStringList parts{printable(s.port.shown(), -1)};
    if (!s.port.manufacturer.isEmpty())
        parts << QStringLiteral("by ") + printable(s.port.manufacturer);
    if (!s.port.serialNumber.isEmpty())
        parts << QStringLiteral("serial ") + printable(s.port.serialNumber);
    if (!s.byId.isEmpty())
        parts << printable(s.byId, -1);
    for (const LockFile &lock : s.locks)
        parts << lock.state.text();
    if (!s.mode.isEmpty())
        parts << QStringLiteral("%1 group %2, %3")
                     .arg(s.mode, printable(s.group),
                          s.mayOpen ? QStringLiteral("you may open it")
                                    : QStringLiteral("you may not open it"));
    return parts.join(QStringLiteral("; "));
}

namespace {

QJsonValue orNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// A name from the system under `key`. One that is not UTF-8 shows each
// stray byte as \xNN there, and carries its exact bytes in hexadecimal
// under `key` + "Hex".
void putName(QJsonObject &object, const QString &key, const QString &name)
{
    const QByteArray bytes = files::bytesFromName(name);
    if (QString::fromUtf8(bytes) == name) {
        object.insert(key, orNull(name));
        return;
    }
    object.insert(key, printable(name, -1));
    object.insert(key + QStringLiteral("Hex"), QString::fromLatin1(bytes.toHex()));
}

QString lockKindName(LockFileState::Kind kind)
{
    switch (kind) {
    case LockFileState::Kind::Live:
        return QStringLiteral("live");
    case LockFileState::Kind::Stale:
        return QStringLiteral("stale");
    case LockFileState::Kind::NoProcess:
        return QStringLiteral("no-process");
    case LockFileState::Kind::Unreadable:
        return QStringLiteral("unreadable");
    case LockFileState::Kind::DanglingLink:
        break;
    }
    return QStringLiteral("dangling-link");
}

QJsonObject lockJson(const LockFile &lock)
{
    QJsonObject object{
        {QStringLiteral("pid"), lock.state.pid > 0 ? QJsonValue(lock.state.pid) : QJsonValue()},
        {QStringLiteral("live"), lock.state.kind == LockFileState::Kind::Live},
        {QStringLiteral("state"), lockKindName(lock.state.kind)}};
    putName(object, QStringLiteral("file"), lock.state.path);
    putName(object, QStringLiteral("program"), lock.state.program);
    return object;
}

} // namespace

QByteArray portsJson(const QList<SurveyedPort> &ports)
{
    QJsonArray list;
    for (const SurveyedPort &s : ports) {
        QJsonArray locks;
        for (const LockFile &lock : s.locks)
            locks.append(lockJson(lock));
        auto id = [](int value) {
            return value < 0 ? QJsonValue() : QJsonValue(value);
        };
        QJsonObject port{{QStringLiteral("description"), orNull(s.port.description)},
                         {QStringLiteral("manufacturer"), orNull(s.port.manufacturer)},
                         {QStringLiteral("vendorId"), id(s.port.vendorId)},
                         {QStringLiteral("productId"), id(s.port.productId)},
                         {QStringLiteral("serialNumber"), orNull(s.port.serialNumber)},
                         {QStringLiteral("locks"), locks},
                         {QStringLiteral("mode"), orNull(s.mode)},
                         {QStringLiteral("group"), orNull(s.group)},
                         {QStringLiteral("mayOpen"), s.mayOpen}};
        putName(port, QStringLiteral("name"), s.port.name);
        putName(port, QStringLiteral("byId"), s.byId);
        list.append(port);
    }
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

namespace {

// The group of the ports there are, or the usual one.
QString serialGroup(const SystemView &system, const QList<Group> &all)
{
    for (const PortDescription &port : system.serialPorts()) {
        const SystemView::Node node = system.node(system.resolved(port.name));
        if (node.exists && node.gid != 0)
            return groupName(all, node.gid);
    }
    for (const char *usual : SerialGroups)
        for (const Group &g : all)
            if (g.name == QLatin1String(usual))
                return g.name;
    return QString();
}

void examineGroup(const SystemView &system, QList<Finding> &found)
{
    if (system.userId() == 0) {
        found.append({false, QStringLiteral("you are root: every port opens for you"), {}});
        return;
    }
    const QList<Group> all = groups(system);
    const QString name = serialGroup(system, all);
    const auto group =
        std::find_if(all.begin(), all.end(), [&name](const Group &g) { return g.name == name; });
    if (group == all.end())
        return; // no group owns serial ports here
    if (system.groupIds().contains(group->gid))
        found.append(
            {false,
             QStringLiteral("you are in the %1 group, which owns the serial ports").arg(name),
             {}});
    else if (group->members.contains(system.userName()))
        found.append(
            {true,
             QStringLiteral("you were added to the %1 group but have not logged in again "
                            "since, so this session is not in it yet")
                 .arg(name),
             QStringLiteral("log out and in again (or, for one shell: newgrp %1)").arg(name)});
    else
        found.append(
            {true,
             QStringLiteral("you are not in the %1 group, which owns the serial ports").arg(name),
             groupRemedy(name)});
}

void examineServices(const SystemView &system, QList<Finding> &found)
{
    bool brltty = false;
    for (const char *path : {"/usr/bin/brltty", "/bin/brltty", "/usr/sbin/brltty", "/sbin/brltty"})
        brltty = brltty || system.node(QString::fromLatin1(path)).exists;
    if (brltty)
        found.append({true,
                      QStringLiteral("brltty is installed: it takes many USB serial adapters "
                                     "(CH340, CP210x) for braille displays, and the port vanishes"),
                      QString::fromLatin1(BrlttyRemedy)});
    bool modemManager = false;
    for (const QString &pid : system.list(QStringLiteral("/proc"))) {
        if (pid.toLongLong() > 0 && system.read(QStringLiteral("/proc/%1/comm").arg(pid))
                                            .value_or(QByteArray())
                                            .trimmed() == "ModemManager") {
            modemManager = true;
            break;
        }
    }
    if (modemManager)
        found.append({true,
                      QStringLiteral("ModemManager is running: it opens new serial ports to "
                                     "probe them for modems, and holds them meanwhile"),
                      QString::fromLatin1(ModemManagerRemedy)});
    if (!brltty && !modemManager)
        found.append({false, QStringLiteral("neither brltty nor ModemManager is in the way"), {}});
}

// The user a process runs as, by the real user id /proc gives it; empty
// when the process cannot be looked at.
QString processOwner(const SystemView &system, qint64 pid, unsigned &uid)
{
    const std::optional<QByteArray> status =
        system.read(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status)
        return QString();
    bool known = false;
    for (const QByteArray &line : status->split('\n'))
        if (line.startsWith("Uid:"))
            uid = line.mid(4).simplified().split(' ').value(0).toUInt(&known);
    if (!known)
        return QString();
    for (const QByteArray &entry :
         system.read(QStringLiteral("/etc/passwd")).value_or("").split('\n'))
        if (const QList<QByteArray> f = entry.split(':'); f.size() > 2 && f.at(2).toUInt() == uid)
            return QString::fromUtf8(f.at(0));
    return QString::number(uid);
}

// Whose process holds a port, and the command that ends it: another
// user's process takes sudo.
QString endProcessRemedy(const SystemView &system, const LockFileState &lock)
{
    unsigned uid = 0;
    const QString owner = processOwner(system, lock.pid, uid);
    const QString program = lock.program.isEmpty() ? QStringLiteral("process %1").arg(lock.pid)
                                                   : printable(lock.program);
    if (owner.isEmpty())
        return QStringLiteral("close %1, or end it with: kill %2").arg(program).arg(lock.pid);
    if (uid == system.userId())
        return QStringLiteral("close %1 (your process %2), or end it with: kill %2")
            .arg(program)
            .arg(lock.pid);
    return QStringLiteral("close %1 (process %2 of user %3), or end it with: sudo kill %2")
        .arg(program)
        .arg(lock.pid)
        .arg(printable(owner));
}

Finding lockFinding(const SystemView &system, const LockFile &lock)
{
    const QString port = printable(lock.port);
    switch (lock.state.kind) {
    case LockFileState::Kind::Live:
        return {true, QStringLiteral("%1 is %2").arg(port, lock.state.text()),
                endProcessRemedy(system, lock.state)};
    case LockFileState::Kind::Stale:
    case LockFileState::Kind::DanglingLink:
        return {true, QStringLiteral("%1 has %2").arg(port, lock.state.text()),
                lock.state.removeCommand()};
    case LockFileState::Kind::NoProcess:
    case LockFileState::Kind::Unreadable:
        break;
    }
    return {true, QStringLiteral("%1 has %2").arg(port, lock.state.text()),
            QStringLiteral("if no program uses %1: %2").arg(port, lock.state.removeCommand())};
}

// With a port asked about, only its own locks are problems; those of other
// ports are said beside.
void examineLocks(const SystemView &system, const QString &asked, QList<Finding> &found)
{
    const QList<LockFile> locks = lockFiles(system);
    const QString real = asked.isEmpty() ? QString() : system.resolved(asked);
    for (const LockFile &lock : locks) {
        Finding finding = lockFinding(system, lock);
        if (!asked.isEmpty() && lock.port != asked && lock.port != real) {
            finding.problem = false;
            finding.aside = true;
        }
        found.append(finding);
    }
    if (locks.isEmpty())
        found.append({false, QStringLiteral("no lock files for serial ports"), {}});
}

// The USB serial devices the kernel has, for a port that is not there.
QStringList usbSerialDevices(const SystemView &system)
{
    QStringList names;
    for (const QString &name : system.list(QStringLiteral("/sys/bus/usb-serial/devices")))
        names << QStringLiteral("/dev/") + name;
    for (const QString &name : system.list(QStringLiteral("/sys/class/tty")))
        if (name.startsWith(QLatin1String("ttyACM")))
            names << QStringLiteral("/dev/") + name;
    return names;
}

void examinePort(const SystemView &system, const QString &given, QList<Finding> &found)
{
    const QString port = printable(given, -1);
    const SystemView::Node node = system.node(given);
    if (!node.exists) {
        const QStringList present = usbSerialDevices(system);
        found.append(
            {true,
             QStringLiteral("%1 does not exist; USB serial devices present: %2")
                 .arg(port, present.isEmpty() ? QStringLiteral("none")
                                              : printable(present.join(QStringLiteral(", ")), -1)),
             QString::fromLatin1(MissingRemedy)});
        return;
    }
    const QString resolved = system.resolved(given);
    const QString real = printable(resolved, -1);
    if (node.isSymlink)
        found.append({false, QStringLiteral("%1 is a link to %2").arg(port, real), {}});
    const SystemView::Node device = system.node(resolved);
    if (!device.isCharDevice) {
        found.append({true,
                      QStringLiteral("%1 is not a serial port (not a character device)").arg(real),
                      QString::fromLatin1(MissingRemedy)});
        return;
    }
    if (const QString why = system.tryOpen(resolved); !why.isEmpty())
        found.append(
            {true, QStringLiteral("%1 does not open for reading and writing: %2").arg(real, why),
             mayOpen(system, device) ? QStringLiteral("close the program that holds it")
                                     : groupRemedy(groupName(groups(system), device.gid))});
    else
        found.append({false,
                      QStringLiteral("%1 opens for reading and writing, exclusively (nothing was "
                                     "sent)")
                          .arg(real),
                      {}});
}

#ifdef Q_OS_WIN
// Windows has no groups, services that grab adapters or lock files: what
// there is to say is which ports the system lists, and whether the one named
// is there and free.
void examineWindowsPorts(const SystemView &system, const QString &given, QList<Finding> &found)
{
    QStringList listed;
    for (const PortDescription &p : system.serialPorts())
        listed << printable(p.shown(), -1);
    if (listed.isEmpty())
        found.append({true, QStringLiteral("the system lists no serial port"),
                      QStringLiteral("plug the USB serial adapter in; if it is plugged in, "
                                     "install its driver from its maker and plug it in again")});
    else
        found.append(
            {false, QStringLiteral("serial ports: %1").arg(listed.join(QStringLiteral(", "))), {}});
    if (given.isEmpty())
        return;
    const QString port = printable(given, -1);
    const QString why = system.tryOpen(given);
    if (why.isEmpty())
        found.append({false,
                      QStringLiteral("%1 opens for reading and writing, exclusively (nothing was "
                                     "sent)")
                          .arg(port),
                      {}});
    else if (why.startsWith(QLatin1String("there is no such port")))
        found.append({true, QStringLiteral("%1 does not exist").arg(port),
                      QStringLiteral("choose a port the system lists, or plug the adapter in")});
    else
        found.append({true, QStringLiteral("%1 does not open: %2").arg(port, why),
                      QStringLiteral("close the program that holds it (a terminal program, "
                                     "another configuration tool)")});
}
#endif

} // namespace

QList<Finding> examine(const SystemView &system, const QString &port)
{
    QList<Finding> found;
#ifdef Q_OS_WIN
    examineWindowsPorts(system, port, found);
#else
    examineGroup(system, found);
    examineServices(system, found);
    examineLocks(system, port, found);
    if (!port.isEmpty())
        examinePort(system, port, found);
#endif
    return found;
}

QString report(const QList<Finding> &findings)
{
    QString text;
    for (const Finding &f : findings) {
        const QString kind = f.problem ? QStringLiteral("problem: ")
                             : f.aside ? QStringLiteral("another port: ")
                                       : QStringLiteral("ok: ");
        text += kind + f.text + u'\n';
        if ((f.problem || f.aside) && !f.remedy.isEmpty())
            text += QStringLiteral("  fix: ") + f.remedy + u'\n';
    }
    return text;
}

QString remedyFor(OpenFailure failure)
{
    switch (failure) {
    case OpenFailure::PermissionDenied:
        return groupRemedy(QStringLiteral("dialout"));
    case OpenFailure::Busy:
        return QStringLiteral("close the program that holds it; if it is ModemManager: ") +
               QString::fromLatin1(ModemManagerRemedy);
    case OpenFailure::NotFound:
        return QString::fromLatin1(MissingRemedy) +
               QStringLiteral("; if it vanished when plugged in: ") +
               QString::fromLatin1(BrlttyRemedy);
    case OpenFailure::LockInDoubt:
    case OpenFailure::None:
    case OpenFailure::Other:
        break;
    }
    return QString();
}

} // namespace tavlo::ports
