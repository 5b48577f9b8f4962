// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line tool and the window against the simulated device on a
// pseudo-terminal, over real serial ports and the real timer.

#include "fakedialogs.h"
#include "mainwindow.h"
#include "portchooser.h"
#include "preciseticker.h"
#include "serialports.h"
#include "testenvironment.h"
#include "testfiles.h"
#include "testshard.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace tavlo;

namespace {

const QString Image = QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");

// The tool's messages on standard error, without the lines of a trace.
QStringList messagesIn(const QString &err)
{
    return err.split(u'\n', Qt::SkipEmptyParts)
        .filter(QRegularExpression(QStringLiteral("^tavlo-image: ")));
}

} // namespace

class TestDevice : public QObject {
    Q_OBJECT
public:
    static void initMain() { useTestEnvironment(); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup()
    {
        if (m_sim.state() != QProcess::NotRunning) {
            m_sim.kill();
            m_sim.waitForFinished();
        }
    }

    // The doctor on the simulator's terminal: the port passes, and the
    // device receives not a byte.
    void doctorOnTheSimulator()
    {
        QVERIFY(startDevice({}));
        const Run run = tool({"doctor", "--port", m_pts});
        QVERIFY2(
            run.out.contains(QStringLiteral("ok: %1 opens for reading and writing").arg(m_pts)),
            qPrintable(run.out));
        QCOMPARE(run.status, run.out.contains(QLatin1String("problem: ")) ? 1 : 0);
        QTest::qWait(100);
        QVERIFY2(!deviceLog().contains(QLatin1String(" < ")), qPrintable(deviceLog()));
    }

    void writeVerifyAndReadBack()
    {
        QVERIFY(startDevice({}));
        Run run = tool({"write", "--port", m_pts, Image});
        QCOMPARE(run.status, 0);
        // The worked example's advice comes first, and stops nothing.
        QVERIFY2(run.err.startsWith(QLatin1String("tavlo-image: warning: Callsign: \"N0CALL\"")) &&
                     !run.err.contains(QLatin1String("error")),
                 qPrintable(run.err));
        const QString back = m_dir->filePath("back.bin");
        run = tool({"read", "--port", m_pts, back});
        QCOMPARE(run.status, 0);
        QCOMPARE(contents(back), contents(Image));
        // Written once, and the device was reset after the write.
        const QString log = deviceLog();
        QCOMPARE(log.count(QStringLiteral("write mode")), 1);
        QVERIFY(log.indexOf(QStringLiteral("closed"), log.indexOf(QStringLiteral("write mode"))) >
                0);
    }

    void faults_data()
    {
        QTest::addColumn<QStringList>("device");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("corrupt byte") << QStringList{"--corrupt", "40"} << QStringList() << 1
                                      << "the device differs from " + Image + ":";
        QTest::newRow("corrupt, retried") << QStringList{"--corrupt", "5"}
                                          << QStringList{"--retries", "2"} << 1 << "writing again";
        QTest::newRow("never answers")
            << QStringList{"--silent"} << QStringList() << 3
            << "The image was sent (127 of its 127 bytes) but is not verified: the device may "
               "hold all, part or none of it.";
        QTest::newRow("answers short")
            << QStringList{"--short", "60"} << QStringList() << 3 << "Check the cable";
        QTest::newRow("hangs up") << QStringList{"--hangup-after", "30"} << QStringList() << 3
                                  << "went away";
        QTest::newRow("stray bytes") << QStringList{"--stray"} << QStringList() << 0 << "";
        QTest::newRow("paced reply") << QStringList{"--pace"} << QStringList() << 0 << "";
        // 1 wake-up ESC + ESC "D" + 127 bytes + 63 filler: the last five filler
        // bytes and the dump command arrive in one read.
        QTest::newRow("stalls before the dump command")
            << QStringList{"--stall", "188:300"} << QStringList() << 0 << "";
    }
    void faults()
    {
        QFETCH(QStringList, device);
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QString, message);
        QVERIFY(startDevice(device));
        const Run run = tool(QStringList{"write", "--port", m_pts, Image} + options);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        if (status != 1) // standard output is for data, and a failed verify's differences
            QVERIFY2(run.out.isEmpty(), qPrintable(run.out));
        if (options.contains("--retries")) {
            QCOMPARE(run.err.count(message), 2);
            QVERIFY2(run.err.contains(QStringLiteral("failed 3 times in a row. Check the cable")),
                     qPrintable(run.err));
        }
        if (device.contains("--stall"))
            QVERIFY2(deviceLog().contains(QStringLiteral("< FF FF FF FF FF 1B 1B 55")),
                     qPrintable(deviceLog()));
    }

    // verify compares without writing: the write command is never sent.
    void verifyWithoutWriting_data()
    {
        QTest::addColumn<QStringList>("device");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::newRow("holds the file") << QStringList{"--memory", Image} << 0 << "";
        // Memory byte 40 is in set 2's block: its path.
        QTest::newRow("differs in a field")
            << QStringList{"--memory", Image, "--corrupt", "40"} << 1 << "Set 2 path: ";
        QTest::newRow("differs in the end byte")
            << QStringList{"--memory", "END"} << 1 << "Byte 126: 0x00 -> 0x5A";
        QTest::newRow("never answers") << QStringList{"--silent"} << 3 << "";
    }
    void verifyWithoutWriting()
    {
        QFETCH(QStringList, device);
        QFETCH(int, status);
        QFETCH(QString, out);
        QByteArray end = contents(Image);
        end[126] = char(0x5A);
        QVERIFY(writeFile(m_dir->filePath("end.bin"), end));
        device.replaceInStrings(QStringLiteral("END"), m_dir->filePath("end.bin"));
        QVERIFY(startDevice(device));
        const Run run = tool({"verify", "--settle", "0", "--port", m_pts, Image});
        QCOMPARE(run.status, status);
        QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.startsWith(out),
                 qPrintable(run.out + run.err));
        const QString log = deviceLog();
        QVERIFY(log.contains(QStringLiteral("1B 1B 55")));
        QVERIFY(!log.contains(QStringLiteral("write mode")));
    }

    // write --backup reads the device into the backup before anything is
    // written; without a backup nothing is written.
    void backupBeforeWriting_data()
    {
        QTest::addColumn<QStringList>("device");
        QTest::addColumn<QString>("backup");
        QTest::addColumn<int>("status");
        QTest::newRow("saved, then written") << QStringList() << "backup.bin" << 0;
        QTest::newRow("cannot be saved") << QStringList() << "missing/backup.bin" << 1;
        QTest::newRow("no reply") << QStringList{"--silent"} << "backup.bin" << 3;
        // Two reads that differ are no backup: nothing is written.
        QTest::newRow("a link that garbles now and then")
            << QStringList{"--flaky", "40"} << "backup.bin" << 3;
    }
    void backupBeforeWriting()
    {
        QFETCH(QStringList, device);
        QFETCH(QString, backup);
        QFETCH(int, status);
        QByteArray old(127, 'o');
        QVERIFY(writeFile(m_dir->filePath("old.bin"), old));
        QVERIFY(startDevice(QStringList{"--memory", m_dir->filePath("old.bin")} + device));
        const QString target = m_dir->filePath(backup);
        const Run run =
            tool({"write", "--trace", "--settle", "0", "--backup", target, "--port", m_pts, Image});
        QCOMPARE(run.status, status);
        const QString log = deviceLog();
        if (status != 0) {
            QVERIFY2(!log.contains(QStringLiteral("write mode")), qPrintable(log));
            QVERIFY(!QFile::exists(target));
            return;
        }
        QCOMPARE(contents(target), old);
        const qsizetype dumped = log.indexOf(QStringLiteral("> 7F 6F 6F"));
        QVERIFY(dumped > 0 && dumped < log.indexOf(QStringLiteral("write mode")));
        // One reset, at the very end.
        QCOMPARE(run.err.count(QStringLiteral("DTR off")), 1);
        const Run check = tool({"verify", "--settle", "0", "--port", m_pts, Image});
        QCOMPARE(check.status, 0);
    }

    // A signal stops the tool in order: the device is reset (it leaves write
    // mode), the port is closed and its lock removed, no file is left.
    void signalsStopInOrder_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT while writing") << true << int(SIGINT);
        QTest::newRow("SIGTERM while writing") << true << int(SIGTERM);
        QTest::newRow("SIGHUP while writing") << true << int(SIGHUP);
        QTest::newRow("SIGTERM while waiting for a reply") << false << int(SIGTERM);
    }
    void signalsStopInOrder()
    {
        QFETCH(bool, write);
        QFETCH(int, signal);
        QVERIFY(startDevice(write ? QStringList() : QStringList{"--silent"}));
        const QString target = m_dir->filePath("never.bin");
        QProcess tool;
        tool.start(QStringLiteral(TAVLO_IMAGE_TOOL),
                   write ? QStringList{"write", "--quiet", "--trace", "--port", m_pts, Image}
                         : QStringList{"read", "--trace", "--port", m_pts, target});
        QVERIFY(tool.waitForStarted());
        const QString waitFor = write ? QStringLiteral("write mode") : QStringLiteral("1B 1B 55");
        QTRY_VERIFY_WITH_TIMEOUT(deviceLog().contains(waitFor), 20000);
        QTest::qWait(100);
        ::kill(pid_t(tool.processId()), signal);
        QVERIFY(tool.waitForFinished(20000));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 128 + signal);
        const QString stderrText = QString::fromUtf8(tool.readAllStandardError());
        const QStringList err = messagesIn(stderrText);
        QCOMPARE(err.size(), 1);
        QVERIFY2(err.first().contains(QStringLiteral("stopped by SIG")), qPrintable(err.first()));
        QVERIFY(tool.readAllStandardOutput().isEmpty());
        // Reset: the lines dropped, the port closed and opened again with one
        // ESC, then closed for good.
        QVERIFY2(err.first().contains(write ? QStringLiteral("part old, part new: write again")
                                            : QStringLiteral("nothing was saved")),
                 qPrintable(err.first()));
        QStringList trace = stderrText.split(u'\n');
        trace.removeAll(err.first());
        for (QString &line : trace) // "  12.345 DTR off failed: ..." -> "DTR off"
            line = line.section(u' ', 1, -1, QString::SectionSkipEmpty)
                       .section(QStringLiteral(" failed"), 0, 0);
        const QStringList end = trace.mid(trace.lastIndexOf(QStringLiteral("DTR off")));
        QVERIFY2(end.join(u'|').startsWith(
                     QStringLiteral("DTR off|RTS off|close (the port stays locked)|open %1|")
                         .arg(m_pts)),
                 qPrintable(end.join(u'|')));
        QVERIFY2(end.join(u'|').endsWith(QStringLiteral("> 1B|close|")),
                 qPrintable(end.join(u'|')));
        const QString log = deviceLog();
        const qsizetype from = log.indexOf(waitFor);
        QVERIFY(!QFile::exists(target));
        QVERIFY(!QFile::exists(QStringLiteral("/var/lock/LCK..") + QFileInfo(m_pts).fileName()));
        if (write) // the write was broken off: no dump command was sent
            QVERIFY(!log.mid(from).contains(QStringLiteral("1B 1B 55")));
    }

    // The file is read once: a pipe, a process substitution or a FIFO is
    // verified against the bytes that were sent; a short file is refused.
    void inputReadOnce_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString differs = QStringLiteral("Set 2 path");
        QTest::newRow("piped") << "cat IMG | TOOL write --settle 0 --port PTS -" << 1 << differs;
        QTest::newRow("process substitution")
            << "TOOL write --settle 0 --port PTS <(cat IMG)" << 1 << differs;
        QTest::newRow("a FIFO") << "mkfifo DIR/fifo; cat IMG > DIR/fifo & "
                                   "TOOL write --settle 0 --port PTS DIR/fifo"
                                << 1 << differs;
        QTest::newRow("verify, piped")
            << "cat IMG | TOOL verify --settle 0 --port PTS -" << 1 << differs;
        QTest::newRow("verify an empty file")
            << ": > DIR/empty.bin; TOOL verify --port PTS DIR/empty.bin" << 1
            << "is empty: there is no image to verify";
        QTest::newRow("write an empty input, any length")
            << "printf '' | TOOL write --any-length --port PTS -" << 1
            << "is empty: there is no image to write";
        QTest::newRow("verify 10 bytes")
            << "head -c 10 IMG > DIR/ten.bin; TOOL verify --port PTS DIR/ten.bin" << 1
            << "is 10 bytes";
    }
    void inputReadOnce()
    {
        QFETCH(QString, script);
        QFETCH(int, status);
        QFETCH(QString, message);
        QVERIFY(startDevice({"--corrupt", "40"}));
        const Run run = shell(script);
        QCOMPARE(run.status, status);
        QVERIFY2((run.out + run.err).contains(message), qPrintable(run.out + run.err));
        if (message.startsWith(QLatin1String("is ")))
            QVERIFY2(!deviceLog().contains(u'<'), qPrintable(deviceLog())); // nothing sent
    }

    // Only the count 127 and exactly 127 bytes are the device's memory:
    // nothing else is saved, and with --backup nothing is written.
    void repliesThatAreNoMemory_data()
    {
        QTest::addColumn<QStringList>("device");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("saved"); // bytes in OUT afterwards; -1 for none
        const QStringList backup{"write", "--backup", "OUT", "IMG"};
        const QStringList read{"read", "OUT"};
        QTest::newRow("stray bytes, backup") << QStringList{"--stray"} << backup << 3 << -1;
        QTest::newRow("stray bytes, read") << QStringList{"--stray"} << read << 3 << -1;
        QTest::newRow("count 5, read") << QStringList{"--count", "5"} << read << 3 << -1;
        QTest::newRow("count 126, backup") << QStringList{"--count", "126"} << backup << 3 << -1;
        QTest::newRow("count 126, read --any-length")
            << QStringList{"--count", "126"} << QStringList{"read", "--any-length", "OUT"} << 0
            << 126;
        QTest::newRow("a GPS receiver, read") << QStringList{"--talker"} << read << 3 << -1;
        QTest::newRow("a GPS receiver, backup") << QStringList{"--talker"} << backup << 3 << -1;
        QTest::newRow("a GPS receiver, verify")
            << QStringList{"--talker"} << QStringList{"verify", "IMG"} << 3 << -1;
    }
    void repliesThatAreNoMemory()
    {
        QFETCH(QStringList, device);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(int, saved);
        QVERIFY(startDevice(device));
        const QString out = m_dir->filePath("out.bin");
        args.replaceInStrings(QStringLiteral("OUT"), out);
        args.replaceInStrings(QStringLiteral("IMG"), Image);
        const Run run = tool(args + QStringList{"--settle", "0", "--trace", "--port", m_pts});
        QCOMPARE(run.status, status);
        QCOMPARE(contents(out).size(), saved < 0 ? qsizetype(9) : qsizetype(saved)); // "<missing>"
        QVERIFY2(!run.err.contains(QStringLiteral("> 1B 44")), qPrintable(run.err));
        if (status != 0)
            QVERIFY2(
                run.err.contains(QStringLiteral("not with the count 127 and 127 memory bytes")),
                qPrintable(run.err));
        // NMEA text is named for what it is, as the window names it.
        QCOMPARE(run.err.contains(
                     QStringLiteral(": this port leads to a GPS receiver, not to the tracker")),
                 device.contains(QStringLiteral("--talker")));
    }

    // A closed output is a stop like Ctrl-C: the device is reset, the port
    // and its lock released, and the exit status is 128 + SIGPIPE.
    void closedOutputStopsInOrder()
    {
        QVERIFY(startDevice({}));
        const Run run = shell("TOOL write --trace --settle 0 --port PTS IMG 2>&1 | head -20; "
                              "echo \"status ${PIPESTATUS[0]}\"");
        QVERIFY2(run.out.endsWith(QStringLiteral("status 141\n")), qPrintable(run.out));
        // The simulator logs the reset's reopening when it sees it, which on
        // a loaded machine may be after the tool has ended.
        QString log;
        qsizetype written = -1;
        QTRY_VERIFY2_WITH_TIMEOUT((log = deviceLog(), written = log.indexOf("write mode"),
                                   written > 0 && log.indexOf("opened (reset)", written) > written),
                                  qPrintable(log), 10000);
        QVERIFY(!log.mid(written).contains(QStringLiteral("1B 1B 55")));
        QVERIFY(!QFile::exists(lockFile()));
    }

    // A device action that went well ends with one line that says so, unless
    // --quiet; read shows its progress on a terminal, as write does.
    void successSaidOnce_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("said");
        QTest::newRow("write") << "TOOL write -q --settle 0 -p PTS IMG; TOOL write --settle 0 "
                                  "-p PTS IMG 2>&1 >DIR/out.txt | tail -1"
                               << "tavlo-image: N0CALL written to PTS and verified (";
        QTest::newRow("verify") << "TOOL write -q --settle 0 -p PTS IMG; "
                                   "TOOL verify --settle 0 -p PTS IMG 2>&1 | tail -1"
                                << "tavlo-image: PTS holds IMG (";
        QTest::newRow("read, quiet") << "TOOL read -q --settle 0 -p PTS DIR/r.bin 2>&1; echo $?"
                                     << "0\n";
        QTest::newRow("read on a terminal")
            << "script -qec \"TOOL read --settle 0 -p PTS DIR/r.bin\" DIR/typescript | tr '\\r' "
               "'\\n' | grep -c '^read  .*%$'"
            << "";
    }
    void successSaidOnce()
    {
        QFETCH(QString, script);
        QFETCH(QString, said);
        QVERIFY(startDevice({}));
        said.replace(QStringLiteral("PTS"), m_pts).replace(QStringLiteral("IMG"), Image);
        const Run run = shell(script.replace(QStringLiteral("DIR"), m_dir->path()));
        if (said.isEmpty()) // a count of progress lines
            QVERIFY2(run.out.trimmed().toInt() > 1, qPrintable(run.out + run.err));
        else
            QVERIFY2(run.out.startsWith(said), qPrintable(run.out + run.err));
    }

    // read into standard output: closed before it starts, nothing is read
    // (4); a reader that goes away while it runs stops it as SIGPIPE (141).
    void readIntoAnOutputThatFails_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("read");
        QTest::newRow("closed") << "TOOL read --settle 0 --port PTS - >&-; echo status $?"
                                << "status 4" << false;
        QTest::newRow("a reader that went away")
            << "TOOL read --settle 0 --port PTS - | (exec 0<&-; sleep 2); "
               "echo status ${PIPESTATUS[0]}"
            << "status 141" << true;
    }
    void readIntoAnOutputThatFails()
    {
        QFETCH(QString, script);
        QFETCH(QString, status);
        QFETCH(bool, read);
        QVERIFY(startDevice({}));
        const Run run = shell(script);
        QVERIFY2(run.out.endsWith(status + u'\n'), qPrintable(run.out + run.err));
        QCOMPARE(deviceLog().contains(QStringLiteral("1B 1B 55")), read);
        QVERIFY(!QFile::exists(lockFile()));
    }

    // Another program's lock file is never removed while its process lives;
    // that of a process that has ended is.
    void locksOfOtherPrograms_data()
    {
        QTest::addColumn<QString>("format"); // PID stands for the process number
        QTest::addColumn<bool>("alive");
        QTest::newRow("a terminal program's lock") << "%1\n" << true;
        QTest::newRow("a Qt-style lock of another program") << "%1\nminicom\nhost\n" << true;
        QTest::newRow("a stale lock") << "%1\n" << false;
    }
    void locksOfOtherPrograms()
    {
        QFETCH(QString, format);
        QFETCH(bool, alive);
        QVERIFY(startDevice({}));
        QProcess holder;
        holder.start(QStringLiteral("sleep"), {"30"});
        QVERIFY(holder.waitForStarted());
        const qint64 pid = holder.processId();
        if (!alive) {
            holder.kill();
            holder.waitForFinished();
        }
        const QByteArray lock = format.arg(pid, 10).toLatin1();
        QVERIFY(writeFile(lockFile(), lock));
        const Run run = tool({"verify", "--trace", "--settle", "0", "--port", m_pts, Image});
        if (alive) {
            QFile::remove(lockFile());
            holder.kill();
            holder.waitForFinished();
            QCOMPARE(run.status, 3);
            QVERIFY2(run.err.contains(QStringLiteral("locked by process %1 (sleep)").arg(pid)),
                     qPrintable(run.err));
            QVERIFY2(!deviceLog().contains(u'<'), qPrintable(deviceLog()));
            return;
        }
        QCOMPARE(run.status, 1); // the blank device differs from the image
        QVERIFY2(run.err.contains(QStringLiteral("stale lock file")), qPrintable(run.err));
        QVERIFY(!QFile::exists(lockFile()));
    }

    // Lock files a local user planted never hold the tool, are never
    // removed, and are named with their fix; a FIFO nobody writes to among them.
    void plantedLocksNeverHang_data()
    {
        QTest::addColumn<QString>("plant"); // a shell line; LOCK is the lock file
        QTest::addColumn<QString>("said");
        // What a lock says is read alike by the doctor and the opener
        // (tst_ports); here the kinds of file only a real system has.
        QTest::newRow("a FIFO") << "mkfifo LOCK"
                                << "not a regular file";
        QTest::newRow("a dangling link") << "ln -s /nonexistent/tavlo LOCK"
                                         << "leads nowhere";
    }
    void plantedLocksNeverHang()
    {
        QFETCH(QString, plant);
        QFETCH(QString, said);
        QVERIFY(startDevice({}));
        QVERIFY(shell(plant.replace(QStringLiteral("LOCK"), lockFile())).status == 0);
        const Run write = tool({"write", "--settle", "0", "--port", m_pts, Image});
        const Run doctor = tool({"doctor"});
        const bool kept = QFileInfo(lockFile()).isSymLink() || QFileInfo::exists(lockFile());
        QFile::remove(lockFile());
        QCOMPARE(write.status, 3);
        QVERIFY2(write.err.contains(said) && write.err.contains(QStringLiteral("rm -- ")),
                 qPrintable(write.err));
        QCOMPARE(doctor.status, 1);
        QVERIFY2(doctor.out.contains(said), qPrintable(doctor.out));
        QVERIFY(kept);
        QVERIFY2(!deviceLog().contains(u'<'), qPrintable(deviceLog()));
    }

    // A backup into a FIFO that no program reads is refused at once, and
    // nothing is written into the device.
    void backupIntoAFifoNobodyReads()
    {
        QVERIFY(startDevice({}));
        const QString fifo = m_dir->filePath("backup.fifo");
        QCOMPARE(shell(QStringLiteral("mkfifo '%1'").arg(fifo)).status, 0);
        const Run run = tool({"write", "--settle", "0", "--backup", fifo, "--port", m_pts, Image});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QStringLiteral("no program reads")), qPrintable(run.err));
        QVERIFY(!deviceLog().contains(QStringLiteral("1B 44")));
        QVERIFY(!QFile::exists(lockFile()));
    }

    // Two names for one port share one lock: a second program is refused
    // while the first writes, even as root, and while the reset at its end
    // has the port closed.
    void twoNamesForOnePort_data()
    {
        QTest::addColumn<QString>("when"); // what the device's log shows first
        QTest::newRow("while it writes") << "write mode";
        QTest::newRow("while the reset has it closed") << "1B 1B 55[\\s\\S]*closed";
    }
    void twoNamesForOnePort()
    {
        QFETCH(QString, when);
        QVERIFY(startDevice({}));
        const QString link = m_dir->filePath("by-id-link");
        QVERIFY(QFile::link(m_pts, link));
        QProcess first;
        first.start(QStringLiteral(TAVLO_IMAGE_TOOL),
                    {"write", "--settle", "0", "--port", link, Image});
        QTRY_VERIFY_WITH_TIMEOUT(deviceLog().contains(QRegularExpression(when)), 20000);
        const Run second =
            tool({"read", "--settle", "0", "--port", m_pts, m_dir->filePath("r.bin")});
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.status, 3);
        QVERIFY2(second.err.contains(QStringLiteral("(tavlo-image)")), qPrintable(second.err));
        QCOMPARE(deviceLog().count(QStringLiteral("1B 1B 55")), 1); // the first one's verify
    }

    // What can be refused is refused before the port is opened: the device
    // receives nothing, not even the wake-up.
    void checkedBeforeTheDevice_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("read into a missing folder")
            << QStringList{"read", "DIR/no/such/x.bin"} << 1 << "there is no folder";
        QTest::newRow("verify a missing file")
            << QStringList{"verify", "DIR/missing.bin"} << 1 << "missing.bin";
        QTest::newRow("a backup into a missing folder")
            << QStringList{"write", "--backup", "DIR/no/b.bin", Image} << 1 << "the backup";
        QTest::newRow("verify broken JSON")
            << QStringList{"verify", "DIR/broken.json"} << 2 << "not valid JSON";
        QTest::newRow("write broken JSON")
            << QStringList{"write", "DIR/broken.json"} << 2 << "at offset";
        QTest::newRow("an option twice")
            << QStringList{"read", "--settle", "0", "DIR/x.bin"} << 2 << "given twice";
        // The port is never a file, by whatever name.
        QTest::newRow("read into the port")
            << QStringList{"read", "PTS"} << 2 << "leads to the port";
        QTest::newRow("read into a link to the port")
            << QStringList{"read", "DIR/port-link"} << 2 << "leads to the port";
        QTest::newRow("write the port") << QStringList{"write", "PTS"} << 2 << "leads to the port";
        QTest::newRow("verify the port")
            << QStringList{"verify", "DIR/port-link"} << 2 << "leads to the port";
        QTest::newRow("a backup into the port")
            << QStringList{"write", "--backup", "DIR/port-link", Image} << 2 << "leads to the port";
    }
    void checkedBeforeTheDevice()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        QVERIFY(startDevice({}));
        QByteArray broken = contents(QStringLiteral(TAVLO_TEST_DATA "/worked-example.json"));
        broken.replace("\"sets\": [", "\"sets\": [,");
        QVERIFY(writeFile(m_dir->filePath("broken.json"), broken));
        QVERIFY(QFile::link(m_pts, m_dir->filePath("port-link")));
        args.replaceInStrings(QStringLiteral("DIR"), m_dir->path());
        args.replaceInStrings(QStringLiteral("PTS"), m_pts);
        const Run run = tool(args + QStringList{"--settle", "0", "--port", m_pts});
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QTest::qWait(50);
        QVERIFY2(!deviceLog().contains(u'<'), qPrintable(deviceLog()));
    }

    // Stopped while the backup is read, nothing was written, and the message
    // says so rather than speaking of a write broken off.
    void stopDuringTheBackupRead()
    {
        QVERIFY(startDevice({"--silent"}));
        const QString backup = m_dir->filePath("backup.bin");
        QProcess process;
        process.start(QStringLiteral(TAVLO_IMAGE_TOOL),
                      {"write", "--settle", "0", "--backup", backup, "--port", m_pts, Image});
        QTRY_VERIFY_WITH_TIMEOUT(deviceLog().contains(QStringLiteral("1B 1B 55")), 20000);
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 128 + SIGTERM);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("nothing was written; the device was reset")),
                 qPrintable(err));
        QVERIFY(!deviceLog().contains(QStringLiteral("write mode")));
        QVERIFY(!QFile::exists(backup));
    }

    void readFaultsSaveNothing_data()
    {
        QTest::addColumn<QStringList>("device");
        QTest::newRow("never answers") << QStringList{"--silent"};
        QTest::newRow("hangs up") << QStringList{"--hangup-after", "3"};
    }
    void readFaultsSaveNothing()
    {
        QFETCH(QStringList, device);
        QVERIFY(startDevice(device));
        const QString target = m_dir->filePath("kept.bin");
        QVERIFY(writeFile(target, "old"));
        const Run run = tool({"read", "--port", m_pts, target});
        QCOMPARE(run.status, 3);
        QCOMPARE(contents(target), QByteArray("old"));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("odd length")
            << QStringList{"write", "--port", "PTS", "ODD"} << 1 << "--any-length writes it anyway";
        QTest::newRow("missing file")
            << QStringList{"write", "--port", "PTS", "MISSING"} << 1 << "Could not read";
        QTest::newRow("missing port")
            << QStringList{"write", "--port", "/dev/tavlo-no-such-port", Image} << 3
            << "Could not open /dev/tavlo-no-such-port";
        QTest::newRow("no port given") << QStringList{"read", "x.bin"} << 2 << "--port";
        QTest::newRow("far too large, whatever --any-length says")
            << QStringList{"write", "--any-length", "--port", "PTS", "HUGE"} << 1
            << "larger than 65536 bytes";
        QTest::newRow("bad retries")
            << QStringList{"write", "--port", "P", "--retries", "x", "f"} << 2 << "--retries";
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        QVERIFY(startDevice({}));
        const QString odd = m_dir->filePath("odd.bin");
        QVERIFY(writeFile(odd, "short"));
        args.replaceInStrings(QStringLiteral("PTS"), m_pts);
        args.replaceInStrings(QStringLiteral("ODD"), odd);
        args.replaceInStrings(QStringLiteral("MISSING"), m_dir->filePath("missing.bin"));
        QFile huge(m_dir->filePath("huge.bin"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(2) << 30)); // sparse
        args.replaceInStrings(QStringLiteral("HUGE"), huge.fileName());
        const Run run = tool(args);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!deviceLog().contains(QStringLiteral("write mode")));
    }

    void traceShowsEveryByte()
    {
        QVERIFY(startDevice({}));
        // The image goes to standard output, the trace (in any locale) to standard error.
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // A locale that writes "0,696" where it can be made; C elsewhere.
        if (QProcess::execute(QStringLiteral("localedef"), {"-i", "de_DE", "-f", "UTF-8",
                                                            m_dir->filePath("de_DE.UTF-8")}) == 0) {
            env.insert(QStringLiteral("LOCPATH"), m_dir->path());
            env.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
        }
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TAVLO_IMAGE_TOOL),
                      {"read", "--port", m_pts, "-", "--trace", "--quiet"});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput(), QByteArray(127, char(0xFF)));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        const QStringList lines = err.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 8);
        static const QRegularExpression line(QStringLiteral("^ *\\d+\\.\\d{3} \\S"));
        for (const QString &l : lines)
            QVERIFY2(line.match(l).hasMatch(), qPrintable(l));
        QVERIFY(err.contains(QStringLiteral("> 1B 1B 55")));
        QVERIFY(err.contains(QStringLiteral("< 7F")));
        QVERIFY(err.contains(QStringLiteral("DTR off")));
    }

    // The device gets time to wake before the first command.
    void settleBeforeTheFirstCommand_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("atLeastMs");
        QTest::addColumn<int>("belowMs");
        QTest::newRow("default, as long as a reset") << QStringList() << 1000 << 5000;
        QTest::newRow("--settle 300") << QStringList{"--settle", "300"} << 300 << 1000;
        QTest::newRow("--settle 0") << QStringList{"--settle", "0"} << 0 << 300;
    }
    void settleBeforeTheFirstCommand()
    {
        QFETCH(QStringList, options);
        QFETCH(int, atLeastMs);
        QFETCH(int, belowMs);
        QVERIFY(startDevice({}));
        const Run run = tool(
            QStringList{"read", "--trace", "--port", m_pts, m_dir->filePath("r.bin")} + options);
        QCOMPARE(run.status, 0);
        auto timeOf = [&](const QString &what) {
            for (const QString &line : run.err.split(u'\n'))
                if (line.section(u' ', 1, -1, QString::SectionSkipEmpty) == what)
                    return line.section(u' ', 0, 0, QString::SectionSkipEmpty).toDouble();
            return -1.0;
        };
        const double settled =
            timeOf(QStringLiteral("> 1B 1B 55")) - timeOf(QStringLiteral("> 1B"));
        QVERIFY2(settled >= atLeastMs && settled < belowMs, qPrintable(QString::number(settled)));
    }

    // The window program closes on a signal as on its close button.
    void theWindowProgramEndsOnSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void theWindowProgramEndsOnSignals()
    {
        QFETCH(int, signal);
        QProcess window;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        window.setProcessEnvironment(env);
        window.start(QStringLiteral(TAVLO_WINDOW), QStringList());
        QVERIFY(window.waitForStarted());
        QVERIFY(!window.waitForFinished(1500)); // up and waiting
        ::kill(pid_t(window.processId()), signal);
        QVERIFY(window.waitForFinished(10000));
        QCOMPARE(window.exitStatus(), QProcess::NormalExit);
        QCOMPARE(window.exitCode(), 0);
    }

    void portAdapterSaysWhyNot()
    {
        QVERIFY(startDevice({}));
        SystemSerialPort first;
        QSignalSpy lost(&first, &SerialPort::lost);
        QVERIFY(first.open(m_pts));
        // A pseudo-terminal has no modem-control lines: setting them is no failure.
        first.setDataTerminalReady(true);
        first.setRequestToSend(true);
        QVERIFY(first.isOpen());
        SystemSerialPort second;
        QVERIFY(!second.open(m_pts));
        QCOMPARE(second.openFailure(), OpenFailure::Busy);
        // Closed for a reset, the port stays claimed: nobody takes it meanwhile.
        first.hangUp();
        QVERIFY(!first.isOpen());
        QVERIFY(!second.open(m_pts));
        QCOMPARE(second.openFailure(), OpenFailure::Busy);
        QVERIFY(QFile::exists(lockFile()));
        QVERIFY(first.open(m_pts));
        first.close();
        QVERIFY(!QFile::exists(lockFile()));
        SystemSerialPort missing;
        QVERIFY(!missing.open(QStringLiteral("/dev/tavlo-no-such-port")));
        QCOMPARE(missing.openFailure(), OpenFailure::NotFound);
        QCOMPARE(lost.count(), 0);
    }

    void theWindowAgainstTheDevice()
    {
        QVERIFY(startDevice({}));
        FakeDialog dialog;
        FakeMessages messages;
        SystemSerialPort port;
        PreciseTicker ticker;
        MainWindow window({dialog, messages, port, ticker, &availablePorts});
        window.show();
        const WindowControls &f = window.controls();
        f.portBox->setEditText(m_pts);
        QTest::keyClick(f.portBox->lineEdit(), Qt::Key_Return);
        QTRY_VERIFY(window.link().isPortOpen());

        const QString back = m_dir->filePath("from-device.bin");
        // The port offered as the file to read into is refused, and asked again.
        dialog.answers << Image << m_pts << back << back;
        // An action runs on the event loop: the status says when it ends.
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(f.statusLine->text(), QStringLiteral("Verify Completed"), 20000);
        QTRY_VERIFY(!window.link().isBusy());
        QTest::mouseClick(f.readButton, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(f.statusLine->text(), QStringLiteral("Read Finished"), 20000);
        QTRY_VERIFY(!window.link().isBusy());
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY2(messages.shown.takeFirst().contains(QStringLiteral("is the serial port")),
                 "the port was taken for a file");
        QCOMPARE(contents(back), contents(Image));
        QTest::mouseClick(f.openButton, Qt::LeftButton);
        QCOMPARE(f.callsign->text(), QStringLiteral("N0CALL"));
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(u'\n')));
    }

private:
    bool startDevice(const QStringList &options)
    {
        m_log = m_dir->filePath("device.log");
        m_sim.start(QStringLiteral(TAVLO_DEVSIM), QStringList{"--log", m_log} + options);
        if (!m_sim.waitForReadyRead(10000))
            return false;
        m_pts = QString::fromLocal8Bit(m_sim.readLine()).trimmed();
        return m_pts.startsWith(QStringLiteral("/dev/"));
    }

    QString deviceLog() const { return QString::fromLatin1(contents(m_log)); }

    static Run tool(const QStringList &args)
    {
        return runProgram(QStringLiteral(TAVLO_IMAGE_TOOL), args);
    }

    // A shell line as a script would write it: TOOL, PTS, IMG and DIR stand
    // for the tool, the device's terminal, the worked example and a folder.
    Run shell(QString script) const
    {
        script.replace(QStringLiteral("TOOL"), QStringLiteral(TAVLO_IMAGE_TOOL))
            .replace(QStringLiteral("PTS"), m_pts)
            .replace(QStringLiteral("IMG"), Image)
            .replace(QStringLiteral("DIR"), m_dir->path());
        return runProgram(QStringLiteral("bash"), {"-c", script});
    }

    QString lockFile() const
    {
        return QStringLiteral("/var/lock/LCK..") + m_pts.mid(5).replace(u'/', u'_');
    }

    QProcess m_sim;
    QString m_pts;
    QString m_log;
    std::unique_ptr<QTemporaryDir> m_dir;
};

TAVLO_TEST_MAIN_WITH(QApplication, TestDevice)
#include "tst_device.moc"
