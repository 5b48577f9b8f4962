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
    QSet<QString> unremovable; // files in a folder this user may not change
    mutable QStringList opened;
    mutable QStringList removed;

    void device(const QString &path, unsigned mode = 0660, unsigned gid = 20)
    {
        nodes[path] = Node{true, false, true, mode, 0, gid};
    }
    void link(const QString &path, const QString &target)
    {
        nodes[path] = Node{true, true, false, 0777, 0, 0};
        links[path] = target;
    }
    void process(qint64 pid, const char *program, int owner = -1)
    {
        alive.insert(pid);
        folders[QStringLiteral("/proc")] << QString::number(pid);
        files[QStringLiteral("/proc/%1/comm").arg(pid)] = QByteArray(program) + '\n';
        if (owner >= 0)
            files[QStringLiteral("/proc/%1/status").arg(pid)] =
                "Name:\t" + QByteArray(program) + "\nUid:\t" + QByteArray::number(owner) + '\t' +
                QByteArray::number(owner) + "\t0\t0\n";
    }
    void lock(const QString &name, const QByteArray &content)
    {
        folders[QStringLiteral("/var/lock")] << name;
        files[QStringLiteral("/var/lock/") + name] = content;
        nodes[QStringLiteral("/var/lock/") + name] = Node{true, false, false, 0644, 0, 0, true};
    }

    Node node(const QString &path) const override { return nodes.value(path); }
    QString resolved(const QString &path) const override
    {
        if (links.contains(path))
            return resolved(links.value(path));
        return nodes.value(path).exists || files.contains(path) ? path : QString();
    }
    QStringList list(const QString &folder) const override { return folders.value(folder); }
    std::optional<QByteArray> read(const QString &path) const override
    {
        const Node n = nodes.value(path);
        if (!files.contains(path) || (n.exists && !n.isRegular))
            return std::nullopt;
        return files.value(path);
    }
    bool mayRemove(const QString &path) const override { return !unremovable.contains(path); }
    bool remove(const QString &path) const override
    {
        removed << path;
        return true;
    }
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
    s.files[QStringLiteral("/etc/passwd")] = "root:x:0:0::/root:/bin/sh\n"
                                             "alice:x:1000:1000::/home/alice:/bin/sh\n"
                                             "bob:x:1001:1001::/home/bob:/bin/sh\n";
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
            << "rm -- '/var/lock/LCK..pts_3'";
        QTest::newRow("live lock") << Setup([](FakeSystem &s) {
            s.process(77, "minicom");
            s.lock("LCK..ttyUSB0", "77\n");
        }) << ""
                                   << "/dev/ttyUSB0 is locked by process 77 (minicom), running"
                                   << "close minicom, or end it with: kill 77";
        QTest::newRow("live lock of this user's")
            << Setup([](FakeSystem &s) {
                   s.process(77, "minicom", 1000);
                   s.lock("LCK..ttyUSB0", "77\n");
               })
            << ""
            << "/dev/ttyUSB0 is locked by process 77 (minicom)"
            << "close minicom (your process 77), or end it with: kill 77";
        QTest::newRow("live lock of another user's")
            << Setup([](FakeSystem &s) {
                   s.process(78, "picocom", 1001);
                   s.lock("LCK..ttyUSB0", "78\n");
               })
            << ""
            << "/dev/ttyUSB0 is locked by process 78 (picocom)"
            << "close picocom (process 78 of user bob), or end it with: sudo kill 78";
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

    // With a port asked about, only its own locks (under any of its names)
    // are problems; other ports' are said beside, with their fix.
    void doctorJudgesTheAskedPort_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("problem");
        QTest::newRow("no port asked about") << "" << true;
        QTest::newRow("the locked port") << "/dev/ttyUSB1" << true;
        QTest::newRow("the locked port by its link") << "/dev/serial/by-id/usb-B" << true;
        QTest::newRow("another port") << "/dev/ttyUSB0" << false;
    }
    void doctorJudgesTheAskedPort()
    {
        QFETCH(QString, port);
        QFETCH(bool, problem);
        FakeSystem system = wellSetUp();
        system.device(QStringLiteral("/dev/ttyUSB1"));
        system.link(QStringLiteral("/dev/serial/by-id/usb-B"), QStringLiteral("/dev/ttyUSB1"));
        system.process(77, "minicom", 1001);
        system.lock("LCK..ttyUSB1", "77\n");
        const QList<ports::Finding> found = ports::examine(system, port);
        const QString report = ports::report(found);
        const bool problems =
            std::any_of(found.begin(), found.end(), [](const auto &f) { return f.problem; });
        QVERIFY2(problems == problem, qPrintable(report));
        QVERIFY2(report.contains(problem ? QStringLiteral("problem: /dev/ttyUSB1 is locked")
                                         : QStringLiteral("another port: /dev/ttyUSB1 is locked")),
                 qPrintable(report));
        QVERIFY2(report.contains(QStringLiteral("fix: close minicom (process 77 of user bob)")),
                 qPrintable(report));
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

        // A name that is not UTF-8 keeps its exact bytes, in hexadecimal.
        const QString odd = QStringLiteral("/dev/serial/by-id/usb-") + QChar(0xDCFC);
        system.link(odd, QStringLiteral("/dev/ttyUSB0"));
        system.folders[QStringLiteral("/dev/serial/by-id")] = {odd.mid(18)};
        const QJsonObject named =
            QJsonDocument::fromJson(ports::portsJson(ports::surveyPorts(system)))
                .array()
                .first()
                .toObject();
        QCOMPARE(named.value("byId").toString(), QStringLiteral("/dev/serial/by-id/usb-\\xfc"));
        QCOMPARE(named.value("byIdHex").toString(),
                 QString::fromLatin1(QByteArray("/dev/serial/by-id/usb-\xfc").toHex()));
        QVERIFY(!named.contains(QStringLiteral("nameHex")));
    }

    // A lock file is read as its writer wrote it, and the opener and the
    // doctor reach one verdict: only the lock of an ended process, in a
    // folder this user may change, is removed; every other keeps the port.
    void locksReadAsTheirWritersWroteThem_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("fix");
        QTest::addColumn<bool>("removed");
        const auto lockWith = [](const QByteArray &content) {
            return Setup(
                [content](FakeSystem &s) { s.lock(QStringLiteral("LCK..ttyS3"), content); });
        };
        const QString file = QStringLiteral("/var/lock/LCK..ttyS3");
        QTest::newRow("ten digits, ended")
            << lockWith("      4242\n") << "a stale lock " + file + " of process 4242"
            << "rm -- '" + file + "'" << true;
        QTest::newRow("Qt's three lines, running") << Setup([](FakeSystem &s) {
            s.process(77, "minicom");
            s.lock(QStringLiteral("LCK..ttyS3"), "77\nminicom\nhost\n");
        }) << "locked by process 77 (minicom), running"
                                                   << "kill 77" << false;
        QTest::newRow("four bytes of text") << lockWith("abc\n") << "names no process"
                                            << "if no program uses /dev/ttyS3: rm -- " << false;
        QTest::newRow("a number past any process") << Setup([](FakeSystem &s) {
            s.lock(QStringLiteral("LCK..ttyS3"), "4294967297\n");
            s.process(1, "init");
        }) << "names no process"
                                                   << "rm -- " << false;
        QTest::newRow("empty") << lockWith("") << "names no process"
                               << "rm -- " << false;
        QTest::newRow("old binary form") << Setup([](FakeSystem &s) {
            s.process(77, "cu");
            s.lock(QStringLiteral("LCK..ttyS3"), QByteArray("\x4d\0\0\0", 4));
        }) << "locked by process 77 (cu)"
                                         << "kill 77" << false;
        QTest::newRow("a FIFO") << Setup([](FakeSystem &s) {
            s.lock(QStringLiteral("LCK..ttyS3"), "");
            s.nodes[QStringLiteral("/var/lock/LCK..ttyS3")].isRegular = false;
        }) << "cannot be read (not a regular file); it may be stale"
                                << "rm -- " << false;
        QTest::newRow("a dangling link") << Setup([](FakeSystem &s) {
            s.folders[QStringLiteral("/var/lock")] << QStringLiteral("LCK..ttyS3");
            s.link(QStringLiteral("/var/lock/LCK..ttyS3"), QStringLiteral("/nowhere"));
        }) << "a symbolic link " + file + " that leads nowhere"
                                         << "rm -- '" + file + "'" << false;
        QTest::newRow("stale, in a folder you may not change") << Setup([](FakeSystem &s) {
            s.lock(QStringLiteral("LCK..ttyS3"), "4242\n");
            s.unremovable << QStringLiteral("/var/lock/LCK..ttyS3");
        }) << "of process 4242, which has ended, in a folder you may not change"
                                                               << "sudo rm -- '" + file + "'"
                                                               << false;
    }
    void locksReadAsTheirWritersWroteThem()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, verdict);
        QFETCH(QString, fix);
        QFETCH(bool, removed);
        FakeSystem system = wellSetUp();
        setup(system);
        const QList<ports::Finding> found = ports::examine(system);
        const auto lock = std::find_if(found.begin(), found.end(), [](const ports::Finding &f) {
            return f.text.startsWith(QLatin1String("/dev/ttyS3"));
        });
        QVERIFY2(lock != found.end(), qPrintable(ports::report(found)));
        QVERIFY2(lock->problem && lock->text.contains(verdict) && lock->remedy.contains(fix),
                 qPrintable(ports::report(found)));
        QVERIFY(system.removed.isEmpty()); // the doctor removes nothing

        const PortLockCheck opener =
            checkPortLocks(system, QStringLiteral("/dev/ttyS3"), QStringLiteral("/dev/ttyS3"));
        QCOMPARE(opener.busy, !removed);
        QCOMPARE(system.removed.size(), removed ? 1 : 0);
        if (!removed)
            QVERIFY(lock->text.endsWith(opener.holder.text()));
    }

    // Names that a local user chose reach the terminal escaped, and every fix
    // pasted into a shell acts on exactly that file.
    void hostileLockNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fix");
        QTest::newRow("a command in the name")
            << QStringLiteral("LCK..ttyS3$(rm -f /etc/passwd)")
            << QStringLiteral("rm -- '/var/lock/LCK..ttyS3$(rm -f /etc/passwd)'");
        QTest::newRow("a quote in the name")
            << QStringLiteral("LCK..ttyS3'; rm -rf ~; '")
            << QStringLiteral(R"(rm -- '/var/lock/LCK..ttyS3'\''; rm -rf ~; '\''')");
        QTest::newRow("a line and a forged problem")
            << QStringLiteral("LCK..ttyS3\n\x1b[2Kproblem: all is well")
            << QStringLiteral(R"(rm -- $'/var/lock/LCK..ttyS3\x0a\x1b[2Kproblem: all is well')");
        QTest::newRow("bytes that are not UTF-8")
            << QStringLiteral("LCK..ttyS3-") + QChar(0xDCFC)
            << QStringLiteral(R"(rm -- $'/var/lock/LCK..ttyS3-\xfc')");
    }
    void hostileLockNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, fix);
        FakeSystem system = wellSetUp();
        system.lock(name, "4242\n");
        system.process(4243, "evil\x1b]0;owned\x07\nproblem: x");
        system.lock(QStringLiteral("LCK..ttyS4"), "4243\n");
        const QString report = ports::report(ports::examine(system));
        QVERIFY2(report.contains(QStringLiteral("  fix: ") + fix + u'\n'), qPrintable(report));
        // Only the doctor's own lines: no control character but the line ends.
        const QStringList lines = report.split(u'\n');
        QCOMPARE(std::count_if(
                     lines.begin(), lines.end(),
                     [](const QString &l) { return l.startsWith(QLatin1String("problem: ")); }),
                 2);
        QVERIFY2(std::none_of(report.begin(), report.end(),
                              [](QChar c) { return c.unicode() < 0x20 && c != u'\n'; }),
                 qPrintable(report));
        QVERIFY(report.contains(QStringLiteral(R"((evil\e]0;owned\x07\nproblem: x))")));
    }
};

QTEST_GUILESS_MAIN(TestPorts)
#include "tst_ports.moc"
