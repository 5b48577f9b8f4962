// The command-line tool and the window against the simulated device on a
// pseudo-terminal, over real serial ports and the real timer.

#include "fakedialogs.h"
#include "form1.h"
#include "serialport.h"
#include "testfiles.h"
#include "ticker.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo;

namespace {

const QString Image = QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");

} // namespace

class TestDevice : public QObject {
    Q_OBJECT
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

    void writeVerifyAndReadBack()
    {
        QVERIFY(startDevice({}));
        Run run = tool({"write", "--port", m_pts, Image});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
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
                                      << "differs from " + Image + " at offset 40";
        QTest::newRow("corrupt, retried") << QStringList{"--corrupt", "5"}
                                          << QStringList{"--retries", "2"} << 1 << "writing again";
        QTest::newRow("never answers")
            << QStringList{"--silent"} << QStringList() << 3 << "No reply from the device on";
        QTest::newRow("answers short")
            << QStringList{"--short", "60"} << QStringList() << 3 << "Check the cable";
        QTest::newRow("hangs up") << QStringList{"--hangup-after", "30"} << QStringList() << 3
                                  << "went away";
        QTest::newRow("stray bytes") << QStringList{"--stray"} << QStringList() << 0 << "";
        QTest::newRow("paced reply") << QStringList{"--pace"} << QStringList() << 0 << "";
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
        if (options.contains("--retries"))
            QCOMPARE(run.err.count(message), 2);
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
            << QStringList{"write", "--port", "/dev/tavlo-no-such-port", "ODD"} << 3
            << "Could not open /dev/tavlo-no-such-port";
        QTest::newRow("no port given") << QStringList{"read", "x.bin"} << 2 << "--port";
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
        const Run run = tool(args);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!deviceLog().contains(QStringLiteral("write mode")));
    }

    void traceShowsEveryByte()
    {
        QVERIFY(startDevice({}));
        const Run run = tool({"read", "--port", m_pts, m_dir->filePath("t.bin"), "--trace"});
        QCOMPARE(run.status, 0);
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 8);
        static const QRegularExpression line(QStringLiteral("^ *\\d+\\.\\d{3} \\S"));
        for (const QString &l : lines)
            QVERIFY2(line.match(l).hasMatch(), qPrintable(l));
        QVERIFY(run.out.contains(QStringLiteral("> 1B 1B 55")));
        QVERIFY(run.out.contains(QStringLiteral("< 7F")));
        QVERIFY(run.out.contains(QStringLiteral("DTR off")));
    }

    void portAdapterSaysWhyNot()
    {
        QVERIFY(startDevice({}));
        QtSerialPort first;
        QSignalSpy lost(&first, &SerialPort::lost);
        QVERIFY(first.open(m_pts));
        // A pseudo-terminal has no modem-control lines: setting them is no failure.
        first.setDataTerminalReady(true);
        first.setRequestToSend(true);
        QVERIFY(first.isOpen());
        QtSerialPort second;
        QVERIFY(!second.open(m_pts));
        QCOMPARE(second.openFailure(), OpenFailure::Busy);
        QtSerialPort missing;
        QVERIFY(!missing.open(QStringLiteral("/dev/tavlo-no-such-port")));
        QCOMPARE(missing.openFailure(), OpenFailure::NotFound);
        QCOMPARE(lost.count(), 0);
    }

    void theWindowAgainstTheDevice()
    {
        QVERIFY(startDevice({}));
        FakeDialog dialog;
        FakeMessages messages;
        QtSerialPort port;
        PreciseTicker ticker;
        Form1 window({dialog, messages, port, ticker, &QtSerialPort::availablePorts});
        window.show();
        const FormControls &f = window.controls();
        f.PortBox->setEditText(m_pts);
        QTest::keyClick(f.PortBox->lineEdit(), Qt::Key_Return);
        QTRY_VERIFY(window.link().isPortOpen());

        const QString back = m_dir->filePath("from-device.bin");
        dialog.answers << Image << back << back;
        QTest::mouseClick(f.OWEE, Qt::LeftButton);
        QCOMPARE(f.Label4->text(), QStringLiteral("Verify Completed"));
        QTest::mouseClick(f.RSEE, Qt::LeftButton);
        QCOMPARE(f.Label4->text(), QStringLiteral("Read Finished"));
        QCOMPARE(contents(back), contents(Image));
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        QCOMPARE(f.Calls->text(), QStringLiteral("N0CALL"));
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

    QProcess m_sim;
    QString m_pts;
    QString m_log;
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestDevice)
#include "tst_device.moc"
