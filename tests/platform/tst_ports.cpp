// SPDX-License-Identifier: GPL-3.0-or-later
#include "portdoctor.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTest>
#include <functional>

using namespace tavlo;

namespace {

// A system made up in a test: files, folders, links, processes and groups.
class FakeSystem : public SystemView {
public:
    QHash<QString, Node> nodes;
    QHash<QString, QString> links; // path -> where it leads
    QHash<QString, QStringList> folders;
    QHash<QString, QByteArray> files;
    QSet<qint64> alive;
    unsigned uid = 1000;
    QString name = QStringLiteral("alice");
    QList<unsigned> groupList{1000};
    QList<PortDescription> ports;
    QHash<QString, QString> openFails;
    mutable QStringList opened;

    void device(const QString &path, unsigned mode = 0660, unsigned gid = 20)
    {
        nodes[path] = Node{true, false, true, mode, 0, gid};
    }
    void link(const QString &path, const QString &target)
    {
        nodes[path] = Node{true, true, false, 0777, 0, 0};
        links[path] = target;
    }
    void process(qint64 pid, const char *program)
    {
        alive.insert(pid);
        folders[QStringLiteral("/proc")] << QString::number(pid);
        files[QStringLiteral("/proc/%1/comm").arg(pid)] = QByteArray(program) + '\n';
    }
    void lock(const char *name, const QByteArray &content)
    {
        folders[QStringLiteral("/var/lock")] << QString::fromLatin1(name);
        files[QStringLiteral("/var/lock/") + QString::fromLatin1(name)] = content;
    }

    Node node(const QString &path) const override { return nodes.value(path); }
    QString resolved(const QString &path) const override
    {
        if (links.contains(path))
            return resolved(links.value(path));
        return nodes.value(path).exists || files.contains(path) ? path : QString();
    }
    QStringList list(const QString &folder) const override { return folders.value(folder); }
    QByteArray read(const QString &path) const override { return files.value(path); }
    bool processAlive(qint64 pid) const override { return alive.contains(pid); }
    unsigned userId() const override { return uid; }
    QString userName() const override { return name; }
    QList<unsigned> groupIds() const override { return groupList; }
    QList<PortDescription> serialPorts() const override { return ports; }
    QString tryOpen(const QString &path) const override
    {
        opened << path;
        return openFails.value(path);
    }
};

using Setup = std::function<void(FakeSystem &)>;

// A user in the dialout group, one USB adapter, nothing in the way.
FakeSystem wellSetUp()
{
    FakeSystem s;
    s.files[QStringLiteral("/etc/group")] = "root:x:0:\ndialout:x:20:alice\nalice:x:1000:\n";
    s.groupList << 20;
    s.device(QStringLiteral("/dev/ttyUSB0"));
    PortDescription usb;
    usb.name = QStringLiteral("/dev/ttyUSB0");
    usb.description = QStringLiteral("FT232R USB UART");
    usb.manufacturer = QStringLiteral("FTDI");
    usb.vendorId = 0x0403;
    usb.productId = 0x6001;
    s.ports << usb;
    s.folders[QStringLiteral("/proc")] << QStringLiteral("1");
    s.files[QStringLiteral("/proc/1/comm")] = "init\n";
    return s;
}

} // namespace

Q_DECLARE_METATYPE(Setup)

class TestPorts : public QObject {
    Q_OBJECT
private slots:
    // Each usual reason a port will not open is found with its fix; only the
    // named port is ever opened.
    void doctorFindsTheUsualReasons_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("problem"); // empty: none at all
        QTest::addColumn<QString>("fix");
        QTest::newRow("all is well") << Setup([](FakeSystem &) {}) << ""
                                     << ""
                                     << "";
        QTest::newRow("not in the group")
            << Setup([](FakeSystem &s) {
                   s.groupList = {1000};
                   s.files[QStringLiteral("/etc/group")] = "dialout:x:20:\n";
               })
            << ""
            << "you are not in the dialout group"
            << "sudo usermod -aG dialout $USER, then log out and in again";
        QTest::newRow("added, not logged in again")
            << Setup([](FakeSystem &s) { s.groupList = {1000}; }) << ""
            << "have not logged in again"
            << "log out and in again";
        QTest::newRow("uucp elsewhere") << Setup([](FakeSystem &s) {
            s.groupList = {1000};
            s.ports.clear();
            s.files[QStringLiteral("/etc/group")] = "uucp:x:14:\n";
        }) << ""
                                        << "not in the uucp group"
                                        << "usermod -aG uucp";
        QTest::newRow("brltty") << Setup([](FakeSystem &s) {
            s.nodes[QStringLiteral("/usr/bin/brltty")] = SystemView::Node{true};
        }) << ""
                                << "brltty is installed"
                                << "sudo apt remove brltty";
        QTest::newRow("ModemManager")
            << Setup([](FakeSystem &s) { s.process(412, "ModemManager"); }) << ""
            << "ModemManager is running"
            << "sudo systemctl disable --now ModemManager";
        QTest::newRow("stale lock")
            << Setup([](FakeSystem &s) { s.lock("LCK..pts_3", "      4242\n"); }) << ""
            << "/dev/pts/3 has a stale lock /var/lock/LCK..pts_3 of process 4242"
            << "sudo rm /var/lock/LCK..pts_3";
        QTest::newRow("live lock") << Setup([](FakeSystem &s) {
            s.process(77, "minicom");
            s.lock("LCK..ttyUSB0", "77\n");
        }) << ""
                                   << "/dev/ttyUSB0 is locked by process 77 (minicom), running"
                                   << "close minicom, or end it with: kill 77";
        QTest::newRow("missing port")
            << Setup([](FakeSystem &s) {
                   s.folders[QStringLiteral("/sys/bus/usb-serial/devices")]
                       << QStringLiteral("ttyUSB0");
               })
            << "/dev/ttyUSB3"
            << "/dev/ttyUSB3 does not exist; USB serial devices present: /dev/ttyUSB0"
            << "tavlo-image ports lists the ports";
        QTest::newRow("a link that opens") << Setup([](FakeSystem &s) {
            s.link(QStringLiteral("/dev/serial/by-id/usb-FTDI-if00"),
                   QStringLiteral("/dev/ttyUSB0"));
        }) << "/dev/serial/by-id/usb-FTDI-if00"
                                           << ""
                                           << "";
        QTest::newRow("refused open")
            << Setup([](FakeSystem &s) {
                   s.groupList = {1000};
                   s.files[QStringLiteral("/etc/group")] = "dialout:x:20:\n";
                   s.openFails[QStringLiteral("/dev/ttyUSB0")] =
                       QStringLiteral("Permission denied");
               })
            << "/dev/ttyUSB0"
            << "/dev/ttyUSB0 does not open for reading and writing: Permission denied"
            << "sudo usermod -aG dialout $USER";
        QTest::newRow("held by another") << Setup([](FakeSystem &s) {
            s.openFails[QStringLiteral("/dev/ttyUSB0")] = QStringLiteral("Device or resource busy");
        }) << "/dev/ttyUSB0"
                                         << "Device or resource busy"
                                         << "close the program that holds it";
    }
    void doctorFindsTheUsualReasons()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, port);
        QFETCH(QString, problem);
        QFETCH(QString, fix);
        FakeSystem system = wellSetUp();
        setup(system);
        const QList<ports::Finding> found = ports::examine(system, port);
        const QString report = ports::report(found);
        qsizetype problems = 0;
        bool named = false;
        for (const ports::Finding &f : found) {
            problems += f.problem ? 1 : 0;
            named = named || (f.problem && f.text.contains(problem) && f.remedy.contains(fix));
        }
        QVERIFY2(problem.isEmpty() ? problems == 0 : named, qPrintable(report));
        // Only the named port is opened, and only when it exists.
        QCOMPARE(system.opened, port.isEmpty() || port.contains(u'3')
                                    ? QStringList()
                                    : QStringList{QStringLiteral("/dev/ttyUSB0")});
    }

    // The port list: by what it is, its stable link, its locks and whether
    // the user may open it; --json the same as a list.
    void portsListedByWhatTheyAre()
    {
        FakeSystem system = wellSetUp();
        system.link(QStringLiteral("/dev/serial/by-id/usb-FTDI-if00"),
                    QStringLiteral("/dev/ttyUSB0"));
        system.folders[QStringLiteral("/dev/serial/by-id")] << QStringLiteral("usb-FTDI-if00");
        system.lock("LCK..ttyUSB0", "  4242\n");
        system.groupList = {1000};
        const QList<ports::SurveyedPort> found = ports::surveyPorts(system);
        QCOMPARE(found.size(), 1);
        QCOMPARE(ports::portLine(found.first()),
                 QStringLiteral("/dev/ttyUSB0 \u2014 FT232R USB UART (0403:6001); by FTDI; "
                                "/dev/serial/by-id/usb-FTDI-if00; a stale lock "
                                "/var/lock/LCK..ttyUSB0 of process 4242, which has ended; "
                                "crw-rw---- group dialout, you may not open it"));
        const QJsonObject json =
            QJsonDocument::fromJson(ports::portsJson(found)).array().first().toObject();
        QCOMPARE(json.value("vendorId").toInt(), 0x0403);
        QCOMPARE(json.value("locks").toArray().first().toObject().value("live").toBool(), false);
        QCOMPARE(json.value("mayOpen").toBool(), false);
        QVERIFY(system.opened.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPorts)
#include "tst_ports.moc"
