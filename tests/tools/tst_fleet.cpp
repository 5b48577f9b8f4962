// SPDX-License-Identifier: GPL-3.0-or-later
// tavlo-image fleet against simulated devices on pseudo-terminals, several
// at once, over real serial ports and the real timer.

#include "testenvironment.h"
#include "testfiles.h"
#include "testshard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/stat.h>

namespace {

const QString Image = QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");

// Four rows that differ in callsign and SSID, as a club's would.
const QByteArray Roster = "callsign,set1.ssid,set1.interval\n"
                          "OK1AAA,9,5 min\n"
                          "OK1AAB,7,10 min\n"
                          "OK1AAC,9,6\n"
                          "\"OK1AAD\",8,30 min\n";

Run tool(const QStringList &args)
{
    return runProgram(QStringLiteral(TAVLO_IMAGE_TOOL), args);
}

// Waits until the running tool has said `text` on standard error, at or
// after `from` of what it said (gathered in `err`).
bool hears(QProcess &tool, QString &err, qsizetype from, const QString &text)
{
    return QTest::qWaitFor(
        [&] {
            err += QString::fromUtf8(tool.readAllStandardError());
            return err.indexOf(text, from) >= 0;
        },
        30000);
}

} // namespace

class TestFleet : public QObject {
    Q_OBJECT
public:
    static void initMain() { useTestEnvironment(); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(writeFile(path("roster.csv"), Roster));
    }
    void cleanup()
    {
        for (auto &sim : m_sims) {
            sim->kill();
            sim->waitForFinished();
        }
        m_sims.clear();
        m_ptys.clear();
    }

    // Each device gets its own row, verified, after its memory was saved;
    // one that fails is said and stops no other.
    void devicesAtOnce_data()
    {
        QTest::addColumn<QList<QStringList>>("devices"); // the simulator's options, one a device
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("results"); // a part of each device's report line
        QTest::newRow("four good devices")
            << QList<QStringList>{{}, {}, {}, {}} << 0
            << QStringList{"verified", "verified", "verified", "verified"};
        QTest::newRow("one corrupting device among three")
            << QList<QStringList>{{}, {"--corrupt", "40"}, {}} << 3
            << QStringList{"verified", "verify failed in set2.path", "verified"};
        QTest::newRow("a device that hangs up while written")
            << QList<QStringList>{{"--hangup-after", "60"}, {}} << 3
            << QStringList{"port lost: only ", "verified"};
        QTest::newRow("a device that never answers")
            << QList<QStringList>{{}, {"--silent"}} << 3
            << QStringList{"verified", "not written: No reply from the device"};
    }
    void devicesAtOnce()
    {
        QFETCH(QList<QStringList>, devices);
        QFETCH(int, status);
        QFETCH(QStringList, results);
        QStringList args{"fleet",
                         "--settle",
                         "0",
                         "--retries",
                         "1",
                         Image,
                         path("roster.csv"),
                         "--backup-dir",
                         path("backups"),
                         "--report",
                         path("report.csv")};
        for (const QStringList &options : devices) {
            QVERIFY(startDevice(options + QStringList{"--memory", Image}));
            args << "--port" << m_ptys.last();
        }
        const Run run = tool(args);
        QCOMPARE(run.status, status);
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4); // every row, done or not
        const QStringList csv =
            QString::fromUtf8(contents(path("report.csv"))).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(csv.first(), QStringLiteral("row,callsign,port,serial,done,result,backup"));
        for (int k = 0; k < devices.size(); ++k) {
            const QString line = lines.filter(QStringLiteral("row %1 ").arg(k + 1)).value(0);
            QVERIFY2(line.contains(m_ptys[k]) && line.contains(results[k]),
                     qPrintable(run.out + run.err));
            const QString record =
                csv.filter(QRegularExpression(QStringLiteral("^%1,").arg(k + 1))).value(0);
            QVERIFY2(record.contains(results[k] == u"verified" ? QStringLiteral(",verified,")
                                                               : QStringLiteral(",not done,")),
                     qPrintable(record));
            if (results[k] != u"verified")
                continue;
            // The device holds its row, and its backup what it held before.
            const QString callsign = QStringLiteral("OK1AA%1").arg(QChar(u'A' + k));
            QVERIFY(line.contains(callsign));
            const Run back = tool({"read", "--settle", "0", "--port", m_ptys[k], path("back.bin")});
            QCOMPARE(back.status, 0);
            QVERIFY(tool({"show", path("back.bin")}).out.contains(callsign));
            const QString backup = line.section(QStringLiteral("backup "), 1);
            QCOMPARE(contents(backup), contents(Image).left(127));
        }
        // Rows without a device are not done, and say so.
        for (int k = int(devices.size()); k < 4; ++k)
            QVERIFY(lines.filter(QStringLiteral("row %1 ").arg(k + 1))
                        .value(0)
                        .contains(QStringLiteral("not done")));
    }

    // Every row is checked before a port is opened: a bad one refuses the run.
    void badRowOpensNoPort_data()
    {
        QTest::addColumn<QByteArray>("roster");
        QTest::addColumn<QString>("message"); // each line it must say, "|" between
        QTest::newRow("a path the image cannot hold")
            << QByteArray("callsign,set1.path\nOK1AAA,WIDE1-1\nOK1AAB,\"WIDE1-1,WIDE2-1\"\n")
            << "row 2, set1.path: Set 1: path \"WIDE1-1,WIDE2-1\" would be stored as";
        QTest::newRow("an entry outside its list")
            << QByteArray("callsign,set2.interval\nOK1AAA,12\n") << "row 1, set2.interval";
        QTest::newRow("a list text that is no entry")
            << QByteArray("callsign,set1.symbol\nOK1AAA,Bicycle\n")
            << "row 1: Set 1: \"Bicycle\" is not a symbol; symbols are: KENWOOD, Jogger";
        QTest::newRow("a flag that is none")
            << QByteArray("callsign,set1.beacon\nOK1AAA,maybe\n")
            << "row 1, set1.beacon: \"maybe\" is none of true, false";
        QTest::newRow("a callsign too long") << QByteArray("callsign\nOK1AAA/P\n")
                                             << "row 1, callsign: Callsign \"OK1AAA/P\" is longer";
        QTest::newRow("an unknown column") << QByteArray("callsign,set7.ssid\nOK1AAA,9\n")
                                           << "the column \"set7.ssid\" is neither";
        QTest::newRow("a column twice")
            << QByteArray("callsign,callsign\nA,B\n") << "the column \"callsign\" is there twice";
        QTest::newRow("a quote never closed")
            << QByteArray("callsign\n\"OK1AAA\n") << "never closed";
        QTest::newRow("more cells than columns")
            << QByteArray("callsign\nOK1AAA,9\n") << "row 1 has 2 cells, the header 1 columns";
        QTest::newRow("no rows") << QByteArray("callsign\n") << "a header and a row for each";
        QTest::newRow("every bad row of a spreadsheet's semicolons")
            << QByteArray("callsign;set1.beacon\r\nOK1AAA;maybe\r\nOK1AAB;yes\r\n"
                          "OK1AAC;perhaps\r\nOK1AAD;on;1\r\n")
            << "row 1, set1.beacon: \"maybe\"|row 3, set1.beacon: \"perhaps\"|"
               "row 4 has 3 cells, the header 2 columns|3 rows refused; no port was opened";
    }
    void badRowOpensNoPort()
    {
        QFETCH(QByteArray, roster);
        QFETCH(QString, message);
        QVERIFY(startDevice({}));
        QVERIFY(writeFile(path("bad.csv"), roster));
        const Run run = tool({"fleet", "--settle", "0", Image, path("bad.csv"), "--port",
                              m_ptys.first(), "--backup-dir", path("backups")});
        QCOMPARE(run.status, 2);
        for (const QString &line : message.split(u'|'))
            QVERIFY2(run.err.contains(line), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QTest::qWait(200);
        QVERIFY2(!contents(path("sim0.log")).contains("opened"),
                 contents(path("sim0.log")).constData());
        QVERIFY(!QDir(path("backups")).exists());
    }

    // What the run reads is never the port, and never the report; a roster
    // is read whole, or refused with its size. Nothing is opened for a refusal.
    void inputsRefusedOrWhole_data()
    {
        QTest::addColumn<QStringList>("args"); // PORT: the device's pseudo-terminal
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString roster = QStringLiteral("ROSTER");
        QTest::newRow("the template is the port")
            << QStringList{"PORT", roster, "--port", "PORT"} << 2
            << "the template PORT leads to the port PORT, not to a file";
        QTest::newRow("the roster is the port, by another name")
            << QStringList{Image, "LINK", "--port", "PORT"} << 2
            << "the roster LINK leads to the port PORT, not to a file";
        QTest::newRow("the report is the roster")
            << QStringList{Image, roster, "--port", "PORT", "--report", "DIR/./roster.csv"} << 2
            << "the report DIR/./roster.csv is the roster: refusing to overwrite it";
        QTest::newRow("the report is the template")
            << QStringList{"DIR/template.bin", roster, "--port", "PORT", "--report",
                           "DIR/template.bin"}
            << 2 << "is the template: refusing to overwrite it";
        QTest::newRow("a roster larger than any club's")
            << QStringList{Image, "DIR/huge.csv", "--port", "PORT"} << 2
            << "it is 17825792 bytes, larger than 16777216 bytes";
        // A row that straddles the first mebibyte is read whole, not cut.
        QTest::newRow("a roster over a mebibyte")
            << QStringList{Image, "DIR/long.csv", "--port", "PORT"} << 0 << "DL2BBB";
        // Spreadsheets with a decimal comma export ";", others tabs.
        QTest::newRow("a roster with semicolons")
            << QStringList{Image, "DIR/semi.csv", "--port", "PORT"} << 0 << "OK1AAS  ";
        QTest::newRow("a roster with tabs")
            << QStringList{Image, "DIR/tabs.csv", "--port", "PORT"} << 0 << "OK1AAT  ";
        QTest::newRow("one callsign and SSID twice")
            << QStringList{Image, "DIR/twice.csv", "--port", "PORT", "--port", "PORT2"} << 2
            << "rows 1 and 2 are both OK1AAA-9";
    }
    void inputsRefusedOrWhole()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        QVERIFY(startDevice({}));
        QVERIFY(startDevice({}));
        QVERIFY(QFile::link(m_ptys[0], path("link")));
        QVERIFY(QFile::copy(Image, path("template.bin")));
        QByteArray longRoster = "callsign\n" + QByteArray(1024 * 1024 - 12, '\n') + "DL2BBB\n";
        QVERIFY(writeFile(path("long.csv"), longRoster));
        QVERIFY(writeFile(path("twice.csv"), "callsign,set1.ssid\nOK1AAA,9\nok1aaa,9\n"));
        QVERIFY(writeFile(path("semi.csv"), "callsign;set1.symbol\nOK1AAS;\"Car\"\n"));
        QVERIFY(writeFile(path("tabs.csv"), "\xEF\xBB\xBF"
                                            "callsign\tset1.ssid\nOK1AAT\t7\n"));
        QFile huge(path("huge.csv"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(17 * 1024 * 1024));
        huge.close();
        const QByteArray before = contents(path("roster.csv"));
        for (QString &arg : args)
            arg.replace(QStringLiteral("ROSTER"), path("roster.csv"))
                .replace(QStringLiteral("PORT2"), m_ptys[1])
                .replace(QStringLiteral("PORT"), m_ptys[0])
                .replace(QStringLiteral("LINK"), path("link"))
                .replace(QStringLiteral("DIR"), m_dir->path());
        message.replace(QStringLiteral("PORT"), m_ptys[0])
            .replace(QStringLiteral("LINK"), path("link"))
            .replace(QStringLiteral("DIR"), m_dir->path());
        const Run run =
            tool(QStringList{"fleet", "--settle", "0", "--backup-dir", path("b")} + args);
        QCOMPARE(run.status, status);
        QVERIFY2((run.out + run.err).contains(message), qPrintable(run.out + run.err));
        QCOMPARE(contents(path("roster.csv")), before);
        QCOMPARE(contents(path("template.bin")), contents(Image));
        if (status != 0)
            QVERIFY(!contents(path("sim0.log")).contains("opened"));
    }

    // The report's cells are data: a spreadsheet takes none for a formula.
    void reportCellsAreData()
    {
        QVERIFY(startDevice({}));
        QVERIFY(startDevice({}));
        QVERIFY(writeFile(path("odd.csv"), "callsign\n=1+1\n@SUM\n"));
        const Run run =
            tool({"fleet", "--settle", "0", Image, path("odd.csv"), "--port", m_ptys[0], "--port",
                  m_ptys[1], "--backup-dir", path("b"), "--report", path("report.csv"), "--json"});
        QCOMPARE(run.status, 0);
        const QString csv = QString::fromUtf8(contents(path("report.csv")));
        QVERIFY2(csv.contains(QStringLiteral("\n1,'=1+1,")) &&
                     csv.contains(QStringLiteral("\n2,'@SUM,")),
                 qPrintable(csv));
        QVERIFY2(run.out.contains(QStringLiteral("\"callsign\":\"=1+1\"")), qPrintable(run.out));
    }

    // A template's bytes that no field shows reach every device as they are.
    void templateBitsKept()
    {
        QByteArray templ = contents(Image).left(127);
        templ[126] = char(0x5A);               // the end byte
        templ[6] = char(templ.at(6) | 0x30);   // set 1's unused bits
        templ[32] = char(templ.at(32) | 0x20); // set 2's: a blank mark the layout sets itself
        QVERIFY(writeFile(path("odd.bin"), templ));
        QVERIFY(startDevice({}));
        QVERIFY(writeFile(path("one.csv"), "callsign\nOK1AAA\n"));
        const Run run = tool({"fleet", "--settle", "0", path("odd.bin"), path("one.csv"), "--port",
                              m_ptys[0], "--backup-dir", path("b")});
        QCOMPARE(run.status, 0);
        QVERIFY(tool({"read", "--settle", "0", "--port", m_ptys[0], path("back.bin")}).status == 0);
        const QByteArray held = contents(path("back.bin"));
        QCOMPARE(held.at(126), char(0x5A));
        QCOMPARE(held.at(6) & 0x30, 0x30);
        QCOMPARE(held.left(6), QByteArray("OK1AAA"));
    }

    // --watch programs each tracker that appears, the next row each, and
    // leaves alone what was there before.
    void watchProgramsWhatAppears()
    {
        for (int k = 0; k < 3; ++k)
            QVERIFY(startDevice({}));
        const QString watched = path("by-id");
        QVERIFY(QDir().mkpath(watched));
        QVERIFY(QFile::link(m_ptys[2], watched + "/usb-there-before"));
        QVERIFY(writeFile(path("two.csv"), "callsign\nOK1AAA\nOK1AAB\n"));
        QProcess fleet;
        fleet.start(QStringLiteral(TAVLO_IMAGE_TOOL),
                    {"fleet", "--settle", "0", "--watch=" + watched, Image, path("two.csv"),
                     "--backup-dir", path("backups"), "--json"});
        QVERIFY(fleet.waitForStarted());
        QString err;
        QVERIFY2(hears(fleet, err, 0, QStringLiteral(": watching ")), qPrintable(err));
        // Names that lead to no port are left alone, and hold nothing up.
        QVERIFY(::mkfifo(QFile::encodeName(watched + "/planted-fifo").constData(), 0600) == 0);
        QVERIFY(writeFile(watched + "/planted-file", "not a port"));
        QVERIFY(QFile::link(path("nowhere"), watched + "/planted-dangling"));
        QString out;
        for (int k = 0; k < 2; ++k) {
            QVERIFY(QFile::link(m_ptys[k], watched + QStringLiteral("/usb-tracker-%1").arg(k)));
            QVERIFY(QTest::qWaitFor(
                [&] {
                    out += QString::fromUtf8(fleet.readAllStandardOutput());
                    return out.count(u'\n') > k;
                },
                30000));
        }
        // It may have ended while its output was read.
        const bool ended = fleet.state() == QProcess::NotRunning || fleet.waitForFinished(30000);
        err += QString::fromUtf8(fleet.readAllStandardError());
        QVERIFY2(ended, qPrintable(out + err));
        QCOMPARE(fleet.exitCode(), 0);
        const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
        for (int k = 0; k < 2; ++k) {
            const QJsonObject line = QJsonDocument::fromJson(lines[k].toUtf8()).object();
            QCOMPARE(line.value("row").toInt(), k + 1);
            QCOMPARE(line.value("verified").toBool(), true);
            QCOMPARE(line.value("port").toString(),
                     watched + QStringLiteral("/usb-tracker-%1").arg(k));
        }
        QVERIFY2(err.contains(QStringLiteral("unplug it")), qPrintable(err));
        for (const char *planted : {"fifo", "file", "dangling"})
            QVERIFY2(
                err.contains(QStringLiteral("/planted-%1 left alone: it leads to no serial port")
                                 .arg(QLatin1String(planted))),
                qPrintable(err));
        QVERIFY(!contents(path("sim2.log")).contains("opened"));
    }

    // One row, one tracker: a tracker that comes back (plugged in again, a
    // second name for it, or another node that holds a row of this run) is
    // left alone, and a failed one is named at the end with its backup.
    void watchKnowsItsTrackers()
    {
        QVERIFY(startDevice({}));                  // 0: row 1
        QVERIFY(startDevice({"--corrupt", "40"})); // 1: fails row 2
        QVERIFY(startDevice({}));                  // 2: row 2
        const QString watched = path("by-id");
        QVERIFY(QDir().mkpath(watched));
        QVERIFY(writeFile(path("two.csv"), "callsign\nOK1AAA\nOK1AAB\n"));
        QProcess fleet;
        fleet.start(QStringLiteral(TAVLO_IMAGE_TOOL),
                    {"fleet", "--settle", "0", "--watch=" + watched, Image, path("two.csv"),
                     "--backup-dir", path("backups")});
        QVERIFY(fleet.waitForStarted());
        QString err;
        QVERIFY2(hears(fleet, err, 0, QStringLiteral(": watching ")), qPrintable(err));
        const auto plug = [&](int pty, const QString &name, const QString &said) {
            const qsizetype from = err.size();
            QVERIFY(QFile::link(m_ptys[pty], watched + u'/' + name));
            QVERIFY2(hears(fleet, err, from, said), qPrintable(err));
        };
        plug(0, "usb-a", "usb-a: unplug it");
        QVERIFY(QFile::remove(watched + "/usb-a"));
        // Once a name made after the removal is said, the tool has looked
        // since and seen usb-a gone, however late its timer ran.
        const qsizetype from = err.size();
        QVERIFY(writeFile(watched + "/looked", "not a port"));
        QVERIFY2(hears(fleet, err, from, QStringLiteral("/looked left alone")), qPrintable(err));
        plug(0, "usb-a", "usb-a left alone: it is the tracker that row 1 was written to");
        plug(0, "usb-a-again", "usb-a-again left alone: it is the tracker that row 1");
        // A tracker found holding row 1 on a node this run never saw: a
        // second simulator with the image row 1 made.
        QVERIFY(tool({"read", "--settle", "0", "--port", m_ptys[0], path("row1.bin")}).status == 0);
        QVERIFY(startDevice({"--memory", path("row1.bin")})); // 3
        plug(3, "usb-row1", "usb-row1 left alone: it holds row 1, written by this run");
        plug(1, "usb-b", "usb-b: unplug it");
        plug(2, "usb-c", "usb-c: unplug it");
        QVERIFY(fleet.state() == QProcess::NotRunning || fleet.waitForFinished(30000));
        err += QString::fromUtf8(fleet.readAllStandardError());
        const QString out = QString::fromUtf8(fleet.readAllStandardOutput());
        QVERIFY2(fleet.exitCode() == 3,
                 qPrintable(out + err)); // a tracker holds a half-written image
        QVERIFY2(err.contains(watched + QStringLiteral("/usb-b is left with a half-written image "
                                                       "of row 2 (verify failed")) &&
                     err.contains(QStringLiteral("what it held before is in ") + path("backups")),
                 qPrintable(err));
        QCOMPARE(out.count(QStringLiteral("verified")), 2);
        // Row 1 is where the report says.
        QVERIFY(tool({"read", "--settle", "0", "--port", m_ptys[0], path("back.bin")}).status == 0);
        QCOMPARE(contents(path("back.bin")).left(6), QByteArray("OK1AAA"));
        QCOMPARE(contents(path("row1.bin")), contents(path("back.bin")));
    }

    // A run cut short goes on where it stopped: --resume leaves out the rows
    // its report marks verified, and the new report holds every row.
    void resumeWhereItStopped()
    {
        QVERIFY(startDevice({}));
        QVERIFY(startDevice({}));
        const QStringList run{"fleet",  "--settle", "0",      Image,     path("roster.csv"),
                              "--port", m_ptys[0],  "--port", m_ptys[1], "--backup-dir",
                              path("b")};
        QCOMPARE(tool(run + QStringList{"-o", path("report.csv")}).status, 3);
        const Run resumed =
            tool(run + QStringList{"--resume", path("report.csv"), "-o", path("report.csv")});
        QCOMPARE(resumed.status, 0);
        QVERIFY2(
            resumed.err.contains(
                QStringLiteral("row 2 OK1AAB: verified in %1, left out").arg(path("report.csv"))),
            qPrintable(resumed.err));
        QVERIFY2(resumed.out.contains(QStringLiteral("row 3  OK1AAC")) &&
                     !resumed.out.contains(QStringLiteral("row 1 ")),
                 qPrintable(resumed.out));
        const QString report = QString::fromUtf8(contents(path("report.csv")));
        QCOMPARE(report.split(u'\n').filter(QStringLiteral(",verified,")).size(), 4);
        QVERIFY(tool({"read", "--settle", "0", "--port", m_ptys[1], path("back.bin")}).status == 0);
        QCOMPARE(contents(path("back.bin")).left(6), QByteArray("OK1AAD"));
        // Nothing left: no device is touched.
        const QByteArray logged = contents(path("sim0.log"));
        const Run again = tool(run + QStringList{"--resume", path("report.csv")});
        QCOMPARE(again.status, 0);
        QVERIFY2(again.err.contains(QStringLiteral("no device is needed")), qPrintable(again.err));
        QTest::qWait(200);
        QCOMPARE(contents(path("sim0.log")), logged);
        // A report of another roster is refused.
        QVERIFY(writeFile(path("other.csv"), "callsign\nDL1XYZ\n"));
        const Run other = tool({"fleet", "--settle", "0", Image, path("other.csv"), "--port",
                                m_ptys[0], "--resume", path("report.csv")});
        QCOMPARE(other.status, 2);
        QVERIFY2(other.err.contains(QStringLiteral("gives row 1 as OK1AAA")),
                 qPrintable(other.err));
    }

    // A backup is two reads that agree; a link that garbles now and then
    // leaves the tracker unwritten.
    void unstableBackupWritesNothing()
    {
        QVERIFY(startDevice({"--flaky", "40"}));
        QVERIFY(writeFile(path("one.csv"), "callsign\nOK1AAA\n"));
        const Run run = tool({"fleet", "--settle", "0", Image, path("one.csv"), "--port", m_ptys[0],
                              "--backup-dir", path("backups")});
        QCOMPARE(run.status, 3);
        QVERIFY2(run.out.contains(QStringLiteral("not written: The device on ")) &&
                     run.out.contains(QStringLiteral("answers are not stable")),
                 qPrintable(run.out + run.err));
        QVERIFY(QDir(path("backups")).isEmpty());
        QVERIFY(!contents(path("sim0.log")).contains("write mode"));
    }

    // Ctrl-C stops every device in order: each is reset, and its line says
    // what it holds.
    void interruptStopsInOrder()
    {
        QVERIFY(startDevice({}));
        QVERIFY(startDevice({}));
        QProcess fleet;
        fleet.start(QStringLiteral(TAVLO_IMAGE_TOOL),
                    {"fleet", "--settle", "0", Image, path("roster.csv"), "--port", m_ptys[0],
                     "--port", m_ptys[1], "--backup-dir", path("backups")});
        QVERIFY(fleet.waitForStarted());
        QVERIFY(
            QTest::qWaitFor([&] { return contents(path("sim1.log")).count(" < ") > 40; }, 20000));
        ::kill(pid_t(fleet.processId()), SIGINT);
        QVERIFY(fleet.state() == QProcess::NotRunning || fleet.waitForFinished(20000));
        QCOMPARE(fleet.exitCode(), 128 + SIGINT);
        const QString out = QString::fromUtf8(fleet.readAllStandardOutput());
        QVERIFY2(out.count(QStringLiteral("stopped: only ")) == 2, qPrintable(out));
        // The simulators log the close when they see it, however busy the machine.
        for (int k = 0; k < 2; ++k)
            QVERIFY(QTest::qWaitFor(
                [&] {
                    return contents(path(QStringLiteral("sim%1.log").arg(k))).contains("closed");
                },
                20000));
    }

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    bool startDevice(const QStringList &options)
    {
        auto sim = std::make_unique<QProcess>();
        const QString log = path(QStringLiteral("sim%1.log").arg(m_sims.size()));
        sim->start(QStringLiteral(TAVLO_DEVSIM), QStringList{"--log", log} + options);
        if (!sim->waitForReadyRead(10000))
            return false;
        m_ptys << QString::fromLocal8Bit(sim->readLine()).trimmed();
        m_sims.push_back(std::move(sim));
        return m_ptys.last().startsWith(QStringLiteral("/dev/"));
    }

    std::vector<std::unique_ptr<QProcess>> m_sims;
    QStringList m_ptys;
    std::unique_ptr<QTemporaryDir> m_dir;
};

TAVLO_TEST_MAIN_WITH(QCoreApplication, TestFleet)
#include "tst_fleet.moc"
