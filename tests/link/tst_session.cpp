// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakedevice.h"
#include "session.h"
#include "testenvironment.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace tavlo;

namespace {

const QString Reset = ResetTrace;

using Start = std::function<bool(LinkSession &)>;

// Runs a blocking event loop, as the program does, so that the fake tickers
// tick; at most 20 s.
void waitUntil(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1); // not 0: the loop must block between polls, or the fake ticker never ticks
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
}

// One device on its fake port, with its own ticker and session.
struct Bench {
    Trace trace;
    FakePort port{trace};
    FakeTicker ticker{trace};
    LinkSession session{port, ticker};
    QList<TransferEnd> ends;

    Bench()
    {
        QObject::connect(&session, &LinkSession::ended, [this](TransferEnd end) { ends << end; });
        session.open(QStringLiteral("P"));
        trace.clear();
    }
    // Starts a transfer and lets the event loop run until it ends.
    TransferEnd run(const Start &start)
    {
        const qsizetype before = ends.size();
        if (!start(session))
            return TransferEnd::Aborted;
        waitUntil([&] { return ends.size() > before; });
        return ends.size() > before ? ends.last() : TransferEnd::Aborted;
    }
};

} // namespace

Q_DECLARE_METATYPE(Start)
Q_DECLARE_METATYPE(QList<std::chrono::microseconds>)

class TestSession : public QObject {
    Q_OBJECT
public:
    static void initMain() { useTestEnvironment(); }

private slots:
    // Each transfer puts on the line what the device expects, with the
    // ticks between, and ends as the exchange does.
    void transfers_data()
    {
        QTest::addColumn<Start>("start");
        QTest::addColumn<QByteArray>("reply"); // empty: the fake answers with its memory
        QTest::addColumn<bool>("modemLines");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("trace");
        const auto write = [](QByteArray image) {
            return Start([image](LinkSession &s) { return s.startWrite(image); });
        };
        const Start dump = [](LinkSession &s) {
            return s.startDump();
        };
        const Start reset = [](LinkSession &s) {
            return s.startReset();
        };
        const auto ok = int(TransferEnd::Done);
        QTest::newRow("write 127 bytes")
            << write(image127()) << QByteArray() << false << ok
            << QStringLiteral("W 1B44 T ") + bytesWithTicks(image127()) + u' ' +
                   bytesWithTicks(QByteArray(63, '\xFF')) + QStringLiteral(" T");
        QTest::newRow("write 3 bytes, no filler")
            << write("ABC") << QByteArray() << false << ok
            << QStringLiteral("W 1B44 T ") + bytesWithTicks("ABC") + QStringLiteral(" T");
        QTest::newRow("dump, then quiet") << dump << QByteArray() << false << ok << "W 1B1B55 T*3";
        QTest::newRow("dump with a byte too many, no quiet")
            << dump << QByteArray("\x02XYZ") << false << ok << "W 1B1B55";
        QTest::newRow("dump of nothing at all")
            << dump << QByteArray("-") << false << int(TransferEnd::TimedOut) << "W 1B1B55 T*200";
        QTest::newRow("dump cut short") << dump
                                        << QByteArray("\x7F"
                                                      "AB")
                                        << false << int(TransferEnd::TimedOut) << "W 1B1B55 T*200";
        QTest::newRow("reset, no modem lines (a pseudo-terminal)")
            << reset << QByteArray() << false << ok << Reset;
        QTest::newRow("reset of a closed port: nothing at all") << Start([](LinkSession &s) {
            s.close();
            return s.startReset();
        }) << QByteArray() << false << ok << "close";
        QTest::newRow("reset, modem lines")
            << reset << QByteArray() << true << ok << "dtr 0 rts 0 T*100 dtr 1 rts 1 W 1B";
        QTest::newRow("pause of 3 ticks")
            << Start([](LinkSession &s) { return s.startPause(protocol::Tick(3)); }) << QByteArray()
            << false << ok << "T*3";
        QTest::newRow("pause of none")
            << Start([](LinkSession &s) { return s.startPause(protocol::Tick(0)); }) << QByteArray()
            << false << ok << "";
    }
    void transfers()
    {
        QFETCH(Start, start);
        QFETCH(QByteArray, reply);
        QFETCH(bool, modemLines);
        QFETCH(int, end);
        QFETCH(QString, trace);
        Bench bench;
        bench.port.modemLines = modemLines;
        if (reply == "-")
            bench.port.silent = true;
        else if (!reply.isEmpty())
            bench.port.replies << reply;
        QCOMPARE(int(bench.run(start)), end);
        QCOMPARE(compact(bench.trace), compact(trace.split(u' ', Qt::SkipEmptyParts)));
        QVERIFY(!bench.ticker.isRunning());
        if (!reply.isEmpty() && reply != "-")
            QCOMPARE(bench.session.reply().bytes, reply);
    }

    // What a write reports as it goes, and the memory it leaves.
    void writeReports()
    {
        Bench bench;
        QList<LinkPhase> phases;
        QList<qint64> done;
        QList<unsigned char> bytes;
        connect(&bench.session, &LinkSession::phase, [&](LinkPhase p) { phases << p; });
        connect(&bench.session, &LinkSession::progress, [&](qint64 d, qint64) { done << d; });
        connect(&bench.session, &LinkSession::byteWritten, [&](unsigned char b) { bytes << b; });
        const QByteArray image = image127();
        QCOMPARE(bench.run([&](LinkSession &s) { return s.startWrite(image); }), TransferEnd::Done);
        QCOMPARE(phases, (QList<LinkPhase>{LinkPhase::Writing, LinkPhase::Settling}));
        QCOMPARE(done.size(), 190);
        QCOMPARE(done.last(), 190);
        QCOMPARE(bytes.size(), 127);
        QCOMPARE(bench.session.bytesWritten(), 127);
        QCOMPARE(bench.port.memory.left(190), image + QByteArray(63, '\xFF'));
    }

    // Ticks as a loaded system delivers them: late ones, two at once, early
    // ones. No byte of the write follows the one before it (or ESC "D")
    // sooner than a whole tick, and the image arrives whole.
    void wholeTickUnderLoad_data()
    {
        using us = std::chrono::microseconds;
        QTest::addColumn<QList<us>>("steps");
        QTest::newRow("late, then doubled") << QList<us>{us(13000), us(200), us(10000)};
        QTest::newRow("doubled twice in a row") << QList<us>{us(25000), us(0), us(0), us(10000)};
        QTest::newRow("early and late in turn") << QList<us>{us(4000), us(9990), us(16000)};
    }
    void wholeTickUnderLoad()
    {
        QFETCH(QList<std::chrono::microseconds>, steps);
        Bench bench;
        bench.ticker.steps = steps;
        QList<std::chrono::nanoseconds> sentAt;
        bench.port.onWrite = [&](const QByteArray &) {
            sentAt << bench.ticker.now();
        };
        const QByteArray image = image127();
        QCOMPARE(bench.run([&](LinkSession &s) { return s.startWrite(image); }), TransferEnd::Done);
        QCOMPARE(sentAt.size(), 1 + 190);
        for (qsizetype i = 1; i < sentAt.size(); ++i)
            QVERIFY2(sentAt[i] - sentAt[i - 1] >= protocol::ByteGap,
                     qPrintable(QStringLiteral("byte %1 followed after %2 us")
                                    .arg(i)
                                    .arg((sentAt[i] - sentAt[i - 1]).count() / 1000)));
        QCOMPARE(bench.port.memory.left(127), image);
    }

    // stop() ends a write at once, not a reset's hold; later transfers end
    // stopped until the caller clears it, but a reset still runs whole.
    void stopping()
    {
        Bench bench;
        bench.port.onWrite = [&](const QByteArray &) {
            if (bench.session.bytesWritten() == 5)
                bench.session.stop();
        };
        QCOMPARE(bench.run([](LinkSession &s) { return s.startWrite(image127()); }),
                 TransferEnd::Stopped);
        QCOMPARE(bench.session.bytesWritten(), 5);
        QCOMPARE(bench.run([](LinkSession &s) { return s.startDump(); }), TransferEnd::Stopped);
        bench.trace.clear();
        bench.port.onWrite = [&](const QByteArray &) {
        };
        QTimer::singleShot(0, &bench.session, [&] { bench.session.stop(); });
        QCOMPARE(bench.run([](LinkSession &s) { return s.startReset(); }), TransferEnd::Done);
        QCOMPARE(compact(bench.trace), Reset);
        bench.session.clearStop();
        QCOMPARE(bench.run([](LinkSession &s) { return s.startDump(); }), TransferEnd::Done);
    }

    // A port that goes away ends the transfer; one that goes away between
    // transfers is said once.
    void portLost()
    {
        Bench bench;
        QSignalSpy lost(&bench.session, &LinkSession::portLost);
        bench.port.writesBeforeLoss = 10;
        QCOMPARE(bench.run([](LinkSession &s) { return s.startWrite(image127()); }),
                 TransferEnd::PortLost);
        QVERIFY(!bench.session.isRunning());
        QCOMPARE(lost.count(), 0);
        QVERIFY(!bench.session.startDump()); // no port
        Bench idle;
        QSignalSpy idleLost(&idle.session, &LinkSession::portLost);
        idle.port.vanish();
        QCOMPARE(idleLost.count(), 1);
        QCOMPARE(idle.ends.size(), 0);
    }

    // Several devices at once on one event loop: each keeps one tick after
    // every byte, and none waits for another.
    void sideBySide()
    {
        std::array<Bench, 4> benches;
        int running = 0;
        for (Bench &b : benches) {
            QVERIFY(b.session.startWrite(image127()));
            ++running;
            QObject::connect(&b.session, &LinkSession::ended, [&running] { --running; });
        }
        waitUntil([&] { return running == 0; });
        QCOMPARE(running, 0);
        for (const Bench &b : benches) {
            QCOMPARE(b.ends, QList<TransferEnd>{TransferEnd::Done});
            QCOMPARE(compact(b.trace),
                     compact((QStringLiteral("W 1B44 T ") + bytesWithTicks(image127()) + u' ' +
                              bytesWithTicks(QByteArray(63, '\xFF')) + QStringLiteral(" T"))
                                 .split(u' ')));
        }
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
