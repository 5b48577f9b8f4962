// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink.h"
#include "fakedevice.h"
#include "testenvironment.h"
#include "testfiles.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tavlo;
using tavlo::words::byteStatus;
namespace {

const QString Reset = ResetTrace;

// How an action ended, in one word a test can compare: NoPort when it could
// not start; a failure by its problem.
enum class Outcome {
    Completed,
    VerifyFailed,
    Cancelled,
    Stopped,
    Aborted,
    NoPort,
    NoReply,
    NotADump,
    Unstable,
    PortLost,
    SaveFailed,
    SavedResetFailed,
};

Outcome outcomeOf(const std::optional<LinkResult> &result)
{
    using End = LinkResult::End;
    using Kind = LinkProblem::Kind;
    if (!result)
        return Outcome::NoPort;
    switch (result->end) {
    case End::Completed:
        return Outcome::Completed;
    case End::VerifyFailed:
        return Outcome::VerifyFailed;
    case End::Cancelled:
        return Outcome::Cancelled;
    case End::Stopped:
        return Outcome::Stopped;
    case End::Aborted:
        return Outcome::Aborted;
    case End::Failed:
        break;
    }
    switch (result->problem->kind) {
    case Kind::NoReply:
    case Kind::ReplyCutShort:
        return Outcome::NoReply;
    case Kind::NotADump:
        return Outcome::NotADump;
    case Kind::UnstableReplies:
        return Outcome::Unstable;
    case Kind::SavedButPortLost:
        return Outcome::SavedResetFailed;
    case Kind::SaveFailed:
    case Kind::BackupNotSaved:
        return Outcome::SaveFailed;
    case Kind::NoPort:
    case Kind::EmptyImage:
    case Kind::OpenFailed:
        return Outcome::NoPort;
    case Kind::PortLost:
    case Kind::ReopenFailed:
        break;
    }
    return Outcome::PortLost;
}

} // namespace

class TestLink : public QObject {
    Q_OBJECT
public:
    static void initMain() { useTestEnvironment(); }

private slots:
    void init()
    {
        // The link before the port and timer it uses.
        m_hostObject.reset();
        m_link.reset();
        m_trace.clear();
        m_port = std::make_unique<FakePort>(m_trace);
        m_ticker = std::make_unique<FakeTicker>(m_trace);
        m_link = std::make_unique<DeviceLink>(*m_port, *m_ticker);
        m_hostObject = std::make_unique<FakeHost>();
        m_hostObject->attach(*m_link);
        m_dir = std::make_unique<QTemporaryDir>();
    }

    void choosingAPort()
    {
        QVERIFY(m_link->choosePort(QStringLiteral("/dev/ttyS0")));
        QVERIFY(m_link->choosePort(QStringLiteral("P")));
        QVERIFY(m_link->choosePort(QStringLiteral("P")));
        QCOMPARE(compact(m_trace), QStringLiteral("open /dev/ttyS0 dtr 1 rts 1 W 1B "
                                                  "close open P dtr 1 rts 1 W 1B "
                                                  "close open P dtr 1 rts 1 W 1B"));
        QVERIFY(m_host().reports.isEmpty());
    }

    void portThatCannotBeOpened_data()
    {
        QTest::addColumn<OpenFailure>("failure");
        QTest::addColumn<QString>("hint");
#ifdef Q_OS_WIN
        QTest::newRow("permission") << OpenFailure::PermissionDenied << "You are not allowed";
        QTest::newRow("busy") << OpenFailure::Busy << "another configuration tool";
#else
        QTest::newRow("permission")
            << OpenFailure::PermissionDenied << "sudo usermod -aG dialout $USER";
        QTest::newRow("busy") << OpenFailure::Busy << "ModemManager or brltty";
#endif
        QTest::newRow("missing") << OpenFailure::NotFound << "plugged in";
        QTest::newRow("other") << OpenFailure::Other << "scripted failure";
    }
    void portThatCannotBeOpened()
    {
        QFETCH(OpenFailure, failure);
        QFETCH(QString, hint);
        QVERIFY(m_link->choosePort(QStringLiteral("P")));
        QSignalSpy closed(m_link.get(), &DeviceLink::portClosed);
        m_port->openFails = failure;
        QVERIFY(!m_link->choosePort(QStringLiteral("/dev/ttyUSB7")));
        QVERIFY(!m_link->isPortOpen());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(m_host().reports.size(), 1);
        QVERIFY(m_host().reports.first().contains("Could not open /dev/ttyUSB7: scripted failure"));
        QVERIFY2(m_host().reports.first().contains(hint), qPrintable(m_host().reports.first()));
        QVERIFY(m_trace.endsWith(QStringLiteral("close")));
    }

    void pauseCountsTicks_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("ticks");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("5 ms") << 5 << 1;
        QTest::newRow("10 ms") << 10 << 1;
        QTest::newRow("11 ms") << 11 << 2;
        QTest::newRow("1000 ms") << 1000 << 100;
    }
    void pauseCountsTicks()
    {
        QFETCH(int, n);
        QFETCH(int, ticks);
        m_link->choosePort(QStringLiteral("P"));
        m_trace.clear();
        QCOMPARE(outcomeOf(runAction(*m_link,
                                     [&] { return m_link->settle(std::chrono::milliseconds(n)); })),
                 Outcome::Completed);
        QCOMPARE(m_trace.count(QStringLiteral("T")), ticks);
    }

    // Another program that takes the port while a reset has it closed is
    // named as such, and the action keeps the verdict it reached.
    void portTakenDuringTheReset_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("said");
        QTest::newRow("write") << "write" << Outcome::Completed << "another program took P";
        QTest::newRow("verify") << "verify" << Outcome::Completed << "another program took P";
        QTest::newRow("read") << "read" << Outcome::SavedResetFailed << "read.bin was saved. ";
    }
    void portTakenDuringTheReset()
    {
        QFETCH(QString, action);
        QFETCH(Outcome, outcome);
        QFETCH(QString, said);
        m_port->memory.replace(0, 127, image127());
        m_link->choosePort(QStringLiteral("P"));
        m_port->onWrite = [this](const QByteArray &bytes) {
            if (bytes == protocol::DumpCommand)
                m_port->openFails = OpenFailure::Busy;
        };
        QSignalSpy closed(m_link.get(), &DeviceLink::portClosed);
        m_host().saveTo = m_dir->filePath("read.bin");
        const Outcome got = action == QLatin1String("read")    ? read()
                            : action == QLatin1String("write") ? write(image127())
                                                               : verify(image127());
        QCOMPARE(got, outcome);
        QCOMPARE(m_host().reports.size(), 1);
        QVERIFY2(m_host().reports.first().contains(said), qPrintable(m_host().reports.first()));
        QVERIFY(!m_host().reports.first().contains(QStringLiteral("unplugged")));
        if (action != QLatin1String("read"))
            QCOMPARE(m_host().statuses.last(), QStringLiteral("Verify Completed"));
        QVERIFY(!m_link->isPortOpen());
        QCOMPARE(closed.count(), 1);
    }

    void writeAndVerifyImage()
    {
        const QByteArray image = image127();
        const QByteArray file = image;
        m_link->choosePort(QStringLiteral("P"));
        m_trace.clear();
        QCOMPARE(write(file), Outcome::Completed);

        const QString expected = QStringLiteral("W 1B44 T ") + bytesWithTicks(image) + u' ' +
                                 bytesWithTicks(QByteArray(63, '\xFF')) +
                                 QStringLiteral(" T W 1B1B55 T*4 ") + Reset;
        QCOMPARE(compact(m_trace), compact(expected.split(u' ')));
        QCOMPARE(m_port->memory.left(190), image + QByteArray(63, '\xFF'));
        QVERIFY(m_host().asked.isEmpty());

        QCOMPARE(m_host().statuses.mid(0, 2),
                 QStringList({"Write Started", byteStatus(image.at(0))}));
        QCOMPARE(m_host().statuses.mid(m_host().statuses.size() - 4),
                 QStringList({byteStatus(image.at(126)), "Write Finished", "Verify Started",
                              "Verify Completed"}));
        // The phases, with the progress in each: what the window's fills are made from.
        const QStringList &facts = m_host().facts;
        QCOMPARE(facts.first(), QStringLiteral("writing"));
        const qsizetype settled = facts.indexOf(QStringLiteral("settling"));
        QCOMPARE(settled, 1 + 190);
        QCOMPARE(facts.at(settled - 1), QStringLiteral("190/190"));
        QCOMPARE(facts.mid(settled, 2), QStringList({"settling", "reading"}));
        // The reply comes as it comes, whole at last; then the comparison, byte by byte.
        const qsizetype compared = facts.indexOf(QStringLiteral("comparing"));
        QCOMPARE(facts.at(compared - 1), QStringLiteral("128/128"));
        QCOMPARE(facts.size() - compared, 1 + 127 + 1);
        QCOMPARE(facts.mid(facts.size() - 2), QStringList({"127/127", "resetting"}));
    }

    void writeOddLengths_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("anyway");
        QTest::addColumn<int>("filler");
        QTest::newRow("empty, refused whatever the answer") << 0 << true << 0;
        QTest::newRow("64 bytes, no filler") << 64 << true << 0;
        QTest::newRow("65 bytes, one filler") << 65 << true << 1;
        QTest::newRow("200 bytes") << 200 << true << 136;
        QTest::newRow("10 bytes, declined") << 10 << false << 0;
    }
    void writeOddLengths()
    {
        QFETCH(int, size);
        QFETCH(bool, anyway);
        QFETCH(int, filler);
        const QByteArray data(size, 'x');
        m_port->replies << char(size) + data;
        m_host().writeAnyLength = anyway;
        m_host().acceptOddReply = true; // a device with another memory size
        m_link->choosePort(QStringLiteral("P"));
        m_trace.clear();
        const Outcome outcome = write(data);
        if (size == 0) { // nothing to write is no "Verify Completed"
            QCOMPARE(outcome, Outcome::NoPort);
            QVERIFY(m_trace.isEmpty());
            QVERIFY(m_host().asked.isEmpty());
            QCOMPARE(m_host().reports,
                     QStringList{"Write File to EEProm|The file is empty: there is no image to "
                                 "write or verify."});
            QCOMPARE(verify(data), Outcome::NoPort);
            QCOMPARE(m_host().reports.size(), 2);
            return;
        }
        if (!anyway) {
            QCOMPARE(m_host().asked, QStringList{QStringLiteral("length %1").arg(size)});
            QCOMPARE(outcome, Outcome::Cancelled);
            QVERIFY(m_trace.isEmpty());
            return;
        }
        QCOMPARE(outcome, Outcome::Completed);
        QCOMPARE(m_host().asked, QStringList({QStringLiteral("length %1").arg(size), "reply"}));
        QCOMPARE(m_trace.count(QStringLiteral("W 78")), size);
        QCOMPARE(m_trace.count(QStringLiteral("W FF")), filler);
        QCOMPARE(m_trace.first(), QStringLiteral("W 1B44"));
        QCOMPARE(m_host().statuses.last(), QStringLiteral("Verify Completed"));
    }

    void verifyMismatch_data()
    {
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("writes");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("no") << QList<bool>{false} << 1 << Outcome::VerifyFailed;
        QTest::newRow("yes, then right") << QList<bool>{true} << 2 << Outcome::Completed;
        QTest::newRow("yes, wrong again, no")
            << QList<bool>{true, false} << 2 << Outcome::VerifyFailed;
    }
    void verifyMismatch()
    {
        QFETCH(QList<bool>, answers);
        QFETCH(int, writes);
        QFETCH(Outcome, outcome);
        const QByteArray image = image127();
        QByteArray wrong = char(127) + image;
        wrong[41] = char(wrong[41] ^ 0x10);
        wrong[128 - 1] = char(wrong[127] ^ 1);
        m_port->replies << wrong;
        if (answers.size() > 1)
            m_port->replies << wrong;
        m_host().retries = answers;
        m_link->choosePort(QStringLiteral("P"));
        QCOMPARE(write(image), outcome);
        QCOMPARE(m_trace.count(QStringLiteral("W 1B44")), writes);
        QCOMPARE(m_host().asked.count(QStringLiteral("retry")), answers.size());
        QCOMPARE(m_trace.count(QStringLiteral("close")), 1); // one reset, at the very end
        QCOMPARE(m_host().statuses.last(), outcome == Outcome::Completed
                                               ? QStringLiteral("Verify Completed")
                                               : QStringLiteral("Verify Failed!!!"));
        if (outcome == Outcome::VerifyFailed)
            QCOMPARE(m_link->mismatches(), QList<qint64>({40, 126}));
    }

    // Only the count 127 and exactly 127 bytes are the device's memory; the
    // host is asked about anything else, and by default nothing is saved,
    // compared or written from it.
    void oddRepliesAreNoMemory_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray memory = image127();
        const QList<std::pair<const char *, QByteArray>> replies{
            {"stray bytes first", QByteArray("\r\n?stray\r\n") + char(127) + memory},
            {"count 5", char(5) + memory.left(5)},
            {"count 126", char(126) + memory.left(126)},
            {"bytes after the memory", char(127) + memory + "$GPGGA"},
            {"a GPS talking",
             QByteArray("$GPRMC,123519,A,4807.038,N,01131.000,E,,,230394,,*6A\r\n")},
        };
        for (const char *action : {"read", "backup", "verify", "write"})
            for (const auto &[name, reply] : replies)
                QTest::addRow("%s, %s", action, name) << action << reply;
    }
    void oddRepliesAreNoMemory()
    {
        QFETCH(QString, action);
        QFETCH(QByteArray, reply);
        m_port->replies << reply;
        m_host().saveTo = m_dir->filePath("read.bin");
        const QString backup = m_dir->filePath("backup.bin");
        m_link->choosePort(QStringLiteral("P"));
        m_trace.clear();
        Outcome outcome = Outcome::Completed;
        if (action == QLatin1String("read"))
            outcome = read();
        else if (action == QLatin1String("verify"))
            outcome = verify(image127());
        else {
            m_host().backupTo = backup;
            outcome = write(image127(), action == QLatin1String("backup"));
        }
        QCOMPARE(outcome, Outcome::NotADump);
        QCOMPARE(m_host().asked, QStringList{QStringLiteral("reply")});
        QCOMPARE(m_link->lastReply().bytes, reply);
        QVERIFY(!QFile::exists(*m_host().saveTo));
        QVERIFY(!QFile::exists(backup));
        QCOMPARE(m_trace.count(QStringLiteral("W 1B44")), action == QLatin1String("write"));
        QCOMPARE(m_link->written(),
                 action == QLatin1String("write") ? Written::All : Written::Nothing);
        QVERIFY2(compact(m_trace).endsWith(Reset), qPrintable(compact(m_trace)));
    }

    void noReply_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("message");
        const QString none = QStringLiteral("No reply");
        const QString cut = QStringLiteral("Reply cut short");
        // The image went out before the verify found no reply.
        const QString sent = QStringLiteral(" The image was sent (127 of its 127 bytes) but is not "
                                            "verified: the device may hold all, part or none of "
                                            "it.");
        QTest::newRow("write, silent")
            << true << QByteArray() << none << "No reply from the device on P." + sent;
        QTest::newRow("write, cut short")
            << true
            << QByteArray("\x7f"
                          "abc")
            << cut << "4 of the 128 bytes of its reply arrived." + sent;
        QTest::newRow("read, silent")
            << false << QByteArray() << none << "No reply from the device on P.";
        QTest::newRow("read, cut short") << false
                                         << QByteArray("\x05"
                                                       "abc")
                                         << cut << "4 of the 6 bytes of its reply arrived";
    }
    void noReply()
    {
        QFETCH(bool, write);
        QFETCH(QByteArray, reply);
        QFETCH(QString, status);
        QFETCH(QString, message);
        if (reply.isEmpty())
            m_port->silent = true;
        else
            m_port->replies << reply;
        m_host().saveTo = m_dir->filePath("never.bin");
        m_link->choosePort(QStringLiteral("P"));
        m_trace.clear();
        const Outcome outcome = write ? this->write(image127()) : read();
        QCOMPARE(outcome, Outcome::NoReply);
        QVERIFY(compact(m_trace).contains(QStringLiteral("W 1B1B55 T*200 ") + Reset));
        QCOMPARE(m_host().statuses.last(), status);
        QCOMPARE(m_host().reports.size(), 1);
        QVERIFY2(m_host().reports.first().contains(message), qPrintable(m_host().reports.first()));
        QCOMPARE(m_host().reports.first().contains(QStringLiteral("not verified")), write);
        QVERIFY(m_host().reports.first().contains(QStringLiteral("Check the cable")));
        QCOMPARE(m_host().facts.last(), QStringLiteral("resetting"));
        QVERIFY(!QFile::exists(*m_host().saveTo));
        QVERIFY(m_host().asked.isEmpty());
        QVERIFY(m_link->isPortOpen());
        QVERIFY(!m_link->isBusy());
    }

    // Questions and dialogs wait without a timer, and whatever happened to the
    // port meanwhile ends the action as it would in a wait.
    void questions_data()
    {
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("status");
        for (const char *question : {"length", "retry", "save"}) {
            QTest::addRow("%s, nothing", question)
                << question << ""
                << (QString(question) == "retry" ? Outcome::VerifyFailed : Outcome::Cancelled)
                << "";
            QTest::addRow("%s, port lost", question)
                << question << "lost" << Outcome::PortLost << "Port lost";
            QTest::addRow("%s, stopped", question)
                << question << "stop" << Outcome::Stopped << "Stopped";
            QTest::addRow("%s, window closed", question)
                << question << "abort" << Outcome::Aborted << "";
        }
    }
    void questions()
    {
        QFETCH(QString, question);
        QFETCH(QString, meanwhile);
        QFETCH(Outcome, outcome);
        QFETCH(QString, status);
        m_link->choosePort(QStringLiteral("P"));
        QByteArray image = image127();
        if (question == QLatin1String("length"))
            image.chop(1);
        if (question == QLatin1String("retry"))
            m_port->replies << char(127) + QByteArray(127, 'x') << char(127) + QByteArray(127, 'x');
        const bool retried = question == QLatin1String("retry") && !meanwhile.isEmpty();
        m_host().onAsk = [&, retried] {
            QVERIFY(!m_ticker->isRunning());
            m_trace << QStringLiteral("asked");
            if (meanwhile == QLatin1String("lost"))
                m_port->vanish();
            else if (meanwhile == QLatin1String("stop"))
                m_link->stop();
            else if (meanwhile == QLatin1String("abort"))
                m_link->abort();
            // Answered yes or with a file: nothing may be sent all the same.
            m_host().retries = {retried};
            m_host().writeAnyLength = !meanwhile.isEmpty();
            if (!meanwhile.isEmpty())
                m_host().saveTo = m_dir->filePath("never.bin");
        };
        const Outcome result = question == QLatin1String("save") ? read() : write(image);
        QCOMPARE(result, outcome);
        QVERIFY(!m_ticker->isRunning());
        QVERIFY(!m_link->isBusy());
        const QString after = compact(m_trace.mid(m_trace.indexOf(QStringLiteral("asked")) + 1));
        if (meanwhile == QLatin1String("stop"))
            QCOMPARE(after, Reset);
        else if (meanwhile == QLatin1String("lost") || meanwhile == QLatin1String("abort"))
            QVERIFY2(!after.contains(u'W'), qPrintable(after));
        if (!status.isEmpty())
            QCOMPARE(m_host().statuses.last(), status);
        QVERIFY(!QFile::exists(m_dir->filePath("never.bin")));
        QCOMPARE(m_link->isPortOpen(), meanwhile.isEmpty() || meanwhile == QLatin1String("stop"));
    }

    void stopDuringATransfer_data()
    {
        QTest::addColumn<bool>("write");
        QTest::newRow("writing") << true;
        QTest::newRow("reading") << false;
    }
    void stopDuringATransfer()
    {
        QFETCH(bool, write);
        m_link->choosePort(QStringLiteral("P"));
        m_host().saveTo = m_dir->filePath("never.bin");
        if (write) {
            m_host().onFill = [this](qint64 done) {
                if (done == 5)
                    m_link->stop();
            };
        } else {
            m_port->silent = true;
            m_port->onWrite = [this](const QByteArray &bytes) {
                if (bytes == QByteArray("\x1b\x1bU"))
                    QTimer::singleShot(0, m_link.get(), &DeviceLink::stop);
            };
        }
        m_trace.clear();
        const Outcome outcome = write ? this->write(image127()) : read();
        QCOMPARE(outcome, Outcome::Stopped);
        // The fifth byte is the last: then the reset, and the port stays open.
        QVERIFY2(compact(m_trace).endsWith(write ? QStringLiteral("W 9F ") + Reset
                                                 : QStringLiteral("W 1B1B55 ") + Reset),
                 qPrintable(compact(m_trace)));
        QCOMPARE(m_host().statuses.last(), QStringLiteral("Stopped"));
        QVERIFY(m_link->isPortOpen());
        QVERIFY(!QFile::exists(*m_host().saveTo));
        QCOMPARE(outcomeOf(runAction(
                     *m_link, [&] { return m_link->settle(std::chrono::milliseconds(10)); })),
                 Outcome::Completed); // the next wait runs again
    }

    // Verifying alone never sends the write command; a backup is read and
    // saved before anything is written, or nothing is written.
    void verifyAndBackup_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("trace");
        const QString dump = QStringLiteral("W 1B1B55 T*3 ");
        QTest::newRow("verify, same") << "verify" << Outcome::Completed << dump + Reset;
        QTest::newRow("verify, differs") << "verify-wrong" << Outcome::VerifyFailed << dump + Reset;
        // The memory is read twice for a backup, and kept only when both agree.
        QTest::newRow("backup, then write")
            << "backup" << Outcome::Completed << dump + dump + QStringLiteral("W 1B44 T");
        QTest::newRow("backup not saved")
            << "backup-unsaved" << Outcome::SaveFailed << dump + dump + Reset;
        QTest::newRow("backup read differently twice")
            << "backup-unstable" << Outcome::Unstable << dump + dump + Reset;
        // Its save dialog cancelled: nothing written, and, as after a read
        // whose dialog was cancelled, no reset.
        QTest::newRow("backup's saving cancelled")
            << "backup-cancelled" << Outcome::Cancelled << (dump + dump).trimmed();
    }
    void verifyAndBackup()
    {
        QFETCH(QString, action);
        QFETCH(Outcome, outcome);
        QFETCH(QString, trace);
        const QByteArray image = image127();
        const QByteArray old(127, 'o');
        m_port->memory.replace(0, 127, action == QLatin1String("verify") ? image : old);
        const QByteArray file = image;
        m_link->choosePort(QStringLiteral("P"));
        m_trace.clear();
        Outcome result;
        if (action.startsWith(QLatin1String("verify")))
            result = verify(file);
        else {
            m_host().backupTo = action == QLatin1String("backup-unsaved")
                                    ? m_dir->path() // a folder
                                    : m_dir->filePath("backup.bin");
            if (action == QLatin1String("backup-cancelled"))
                m_host().backupTo.reset();
            if (action == QLatin1String("backup-unstable")) { // byte 40 garbled once
                QByteArray garbled = old;
                garbled[40] = 'x';
                m_port->replies << QByteArray(1, '\x7f') + garbled;
            }
            result = write(file, true);
        }
        QCOMPARE(result, outcome);
        QVERIFY2(compact(m_trace).startsWith(trace), qPrintable(compact(m_trace)));
        // One reset, at the end, unless a dialog was cancelled.
        QCOMPARE(m_trace.count(QStringLiteral("dtr 0")), outcome == Outcome::Cancelled ? 0 : 1);
        if (action == QLatin1String("backup")) {
            QCOMPARE(contents(m_dir->filePath("backup.bin")), old);
            QCOMPARE(m_port->memory.left(127), image);
        } else {
            QVERIFY(!m_trace.contains(QStringLiteral("W 1B44")));
        }
        if (action == QLatin1String("verify-wrong"))
            QCOMPARE(m_link->lastMemory(), old);
        if (action == QLatin1String("backup-unstable")) {
            QVERIFY(!QFile::exists(m_dir->filePath("backup.bin")));
            QCOMPARE(m_port->memory.left(127), old);
            QVERIFY2(m_host().reports.value(0).contains(QStringLiteral("not stable")),
                     qPrintable(m_host().reports.join(u'\n')));
        }
    }

    void readSavedButResetFailed()
    {
        m_link->choosePort(QStringLiteral("P"));
        m_host().saveTo = m_dir->filePath("read.bin");
        m_host().onAsk = [this] {
            m_port->openFails = OpenFailure::NotFound;
        };
        QCOMPARE(read(), Outcome::SavedResetFailed);
        QCOMPARE(contents(*m_host().saveTo), m_port->memory.left(127));
        QCOMPARE(m_host().reports.size(), 1);
        QVERIFY2(m_host().reports.first().contains(*m_host().saveTo + QStringLiteral(" was saved")),
                 qPrintable(m_host().reports.first()));
        QVERIFY(!m_link->isPortOpen());
    }

    void portLost_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("writes");
        QTest::addColumn<QString>("holds"); // what the message says the device holds
        QTest::newRow("during the write")
            << true << 10 << "Only 9 of the 127 bytes of the image were written";
        QTest::newRow("at the dump command")
            << true << 192 << "The whole image was written but not verified";
        QTest::newRow("reading") << false << 1 << "unplugged, or the device on it";
    }
    void portLost()
    {
        QFETCH(bool, write);
        QFETCH(int, writes);
        QFETCH(QString, holds);
        m_host().saveTo = m_dir->filePath("never.bin");
        m_link->choosePort(QStringLiteral("P"));
        QSignalSpy closed(m_link.get(), &DeviceLink::portClosed);
        m_port->writesBeforeLoss = writes;
        const Outcome outcome = write ? this->write(image127()) : read();
        QCOMPARE(outcome, Outcome::PortLost);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!m_link->isPortOpen());
        QCOMPARE(m_host().reports.size(), 1);
        QVERIFY2(m_host().reports.first().contains(QStringLiteral("The port P went away")),
                 qPrintable(m_host().reports.first()));
        QVERIFY2(m_host().reports.first().contains(holds), qPrintable(m_host().reports.first()));
        QVERIFY(!QFile::exists(*m_host().saveTo));
        QVERIFY(!m_link->isBusy());
    }

    void readToFile_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("saved");
        const QByteArray memory = image127().replace(0, 4, QByteArray("\x00\x0D\x0A\x80", 4));
        QTest::newRow("127 bytes") << char(127) + memory << memory;
        QTest::newRow("count 0") << QByteArray(1, '\0') << QByteArray();
        QTest::newRow("extra bytes kept") << QByteArray("\x02"
                                                        "abcd")
                                          << QByteArray("abcd");
    }
    void readToFile()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, saved);
        m_port->replies << reply;
        m_host().saveTo = m_dir->filePath("read.bin");
        m_host().acceptOddReply = true; // the window's operator said to keep an odd one
        m_link->choosePort(QStringLiteral("P"));
        m_trace.clear();
        QCOMPARE(read(), Outcome::Completed);
        QCOMPARE(contents(*m_host().saveTo), saved);
        QCOMPARE(m_host().statuses, QStringList({"Read Started", "Read Finished"}));
        // A reply with bytes beyond its count needs no wait to tell.
        const bool exact = reply.size() == static_cast<unsigned char>(reply.at(0)) + 1;
        QCOMPARE(compact(m_trace), QStringLiteral("W 1B1B55 ") +
                                       (exact ? QStringLiteral("T*3 ") : QString()) + Reset);
        const QStringList &facts = m_host().facts;
        QCOMPARE(facts.first(), QStringLiteral("reading"));
        QCOMPARE(facts.last(), QStringLiteral("resetting"));
        // The reply's progress, ending with all of it (bytes beyond the count too).
        QCOMPARE(facts.at(facts.size() - 2), QStringLiteral("%1/%2")
                                                 .arg(reply.size())
                                                 .arg(static_cast<unsigned char>(reply.at(0)) + 1));
    }

    void readCancelledOrNotSaved()
    {
        m_link->choosePort(QStringLiteral("P"));
        m_trace.clear();
        QCOMPARE(read(), Outcome::Cancelled);
        QCOMPARE(compact(m_trace), QStringLiteral("W 1B1B55 T*3")); // no reset
        QCOMPARE(m_host().statuses, QStringList{QStringLiteral("Read Started")});

        m_host().saveTo = m_dir->path(); // a folder cannot be written as a file
        QCOMPARE(read(), Outcome::SaveFailed);
        QCOMPARE(m_host().reports.size(), 1);
        QVERIFY(
            m_host().reports.first().contains(QStringLiteral("Could not save ") + m_dir->path()));
        QVERIFY(!m_host().statuses.contains(QStringLiteral("Read Finished")));
    }

    void noPortAsksForOne()
    {
        QCOMPARE(write(image127()), Outcome::NoPort);
        QCOMPARE(read(), Outcome::NoPort);
        const QString expected = QStringLiteral("No COM port selected|Please select COM port!");
        QCOMPARE(m_host().reports, QStringList({expected, expected}));
        QVERIFY(m_trace.isEmpty());
    }

    void abortEndsAtOnce()
    {
        m_link->choosePort(QStringLiteral("P"));
        m_host().onFill = [this](qint64 done) {
            if (done == 5)
                m_link->abort();
        };
        QCOMPARE(write(image127()), Outcome::Aborted);
        QVERIFY(!m_link->isPortOpen());
        QCOMPARE(m_trace.count(QStringLiteral("W 1B1B55")), 0);
        QVERIFY(!m_link->isBusy());
    }

    void byteStatusTexts_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("text");
        QTest::newRow("A") << 0x41 << "A (41)";
        QTest::newRow("CR") << 0x0D << ". (D)";
        QTest::newRow("blank") << 0x20 << ". (20)";
        QTest::newRow("DEL") << 0x7F << "\x7f (7F)";
        QTest::newRow("0x80") << 0x80 << ". (80)";
        QTest::newRow("5") << 0x05 << ". (5)";
        QTest::newRow("!") << 0x21 << "! (21)";
    }
    void byteStatusTexts()
    {
        QFETCH(int, byte);
        QFETCH(QString, text);
        QCOMPARE(byteStatus(static_cast<unsigned char>(byte)), text);
    }

private:
    FakeHost &m_host()
    {
        return *m_hostObject;
    }
    Outcome write(const QByteArray &image, bool backup = false)
    {
        return outcomeOf(runAction(*m_link, [&] { return m_link->write(image, backup); }));
    }
    Outcome read()
    {
        return outcomeOf(runAction(*m_link, [&] { return m_link->read(); }));
    }
    Outcome verify(const QByteArray &image)
    {
        return outcomeOf(runAction(*m_link, [&] { return m_link->verify(image); }));
    }

    QString writeFile(const char *name, const QByteArray &bytes)
    {
        const QString path = m_dir->filePath(QString::fromLatin1(name));
        return ::writeFile(path, bytes) ? path : QString();
    }

    Trace m_trace;
    std::unique_ptr<FakePort> m_port;
    std::unique_ptr<FakeTicker> m_ticker;
    std::unique_ptr<FakeHost> m_hostObject;
    std::unique_ptr<DeviceLink> m_link;
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
