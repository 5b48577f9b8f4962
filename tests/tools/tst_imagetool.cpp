#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

Run runTool(const QStringList &args)
{
    return runProgram(QStringLiteral(TAVLO_IMAGE_TOOL), args);
}

QString dataFile(const char *name)
{
    return QStringLiteral(TAVLO_TEST_DATA "/") + name;
}

} // namespace

class TestImageTool : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void decodeMatchesReference()
    {
        const Run run = runTool({"decode", dataFile("worked-example.bin")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out.toUtf8(), contents(dataFile("worked-example.json")));
    }

    void encodeMatchesReference()
    {
        const QString out = m_dir.filePath("out.bin");
        const Run run = runTool({"encode", dataFile("worked-example.json"), out});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.status, 0);
        QCOMPARE(contents(out), contents(dataFile("worked-example.bin")));
    }

    void refusedEncodeWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        QTest::newRow("path")
            << QByteArray(R"({"sets": [{"path": "WIDE2-1"}, {}, {}, {}, {}, {}]})")
            << QStringLiteral("Set 1: path \"WIDE2-1\" would be stored as \"WIDE2-2\"");
        QTest::newRow("symbol range")
            << QByteArray(R"({"sets": [{}, {}, {}, {"symbol": 16}, {}, {}]})")
            << QStringLiteral("Set 4: symbol entry 16");
        QTest::newRow("code range")
            << QByteArray(R"({"sets": [{}, {"symbolCode": 96}, {}, {}, {}, {}]})")
            << QStringLiteral("Set 2: symbol code entry 96");
        QTest::newRow("wrong type") << QByteArray(R"({"sets": [{}, {}, {"gps": 1}, {}, {}, {}]})")
                                    << QStringLiteral("Set 3: \"gps\"");
        QTest::newRow("seven sets") << QByteArray(R"({"sets": [{}, {}, {}, {}, {}, {}, {}]})")
                                    << QStringLiteral("six sets");
    }
    void refusedEncodeWritesNothing()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        const QString in = m_dir.filePath("in.json");
        QVERIFY(writeFile(in, json));

        const QString fresh = m_dir.filePath("fresh.bin");
        Run run = runTool({"encode", in, fresh});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.err.count(u'\n'), 1);
        QVERIFY(!QFile::exists(fresh));

        const QString existing = m_dir.filePath("existing.bin");
        QVERIFY(writeFile(existing, "old contents"));
        run = runTool({"encode", in, existing});
        QCOMPARE(run.status, 1);
        QCOMPARE(contents(existing), QByteArray("old contents"));
    }

    void unreadableInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing image")
            << QStringList{"decode", "missing.bin"} << QStringLiteral("missing.bin");
        QTest::newRow("short image")
            << QStringList{"show", "short.bin"} << QStringLiteral("is 125 bytes");
        QTest::newRow("missing json")
            << QStringList{"encode", "missing.json", "o.bin"} << QStringLiteral("missing.json");
        QTest::newRow("broken json")
            << QStringList{"encode", "broken.json", "o.bin"} << QStringLiteral("not valid JSON");
        QTest::newRow("directory")
            << QStringList{"decode", "."} << QStringLiteral("Could not open");
    }
    void unreadableInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QVERIFY(writeFile(m_dir.filePath("short.bin"), QByteArray(125, ' ')));
        QVERIFY(writeFile(m_dir.filePath("broken.json"), "{\"sets\": ["));
        for (int i = 1; i < args.size(); ++i)
            args[i] = m_dir.filePath(args[i]);
        const Run run = runTool(args);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(m_dir.filePath("missing.bin")));
        QVERIFY(!QFile::exists(m_dir.filePath("o.bin")));
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("nothing") << QStringList() << 2;
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2;
        QTest::newRow("missing argument") << QStringList{"encode", "a.json"} << 2;
        QTest::newRow("extra argument") << QStringList{"decode", "a", "b"} << 2;
        QTest::newRow("help") << QStringList{"--help"} << 0;
    }
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        const Run run = runTool(args);
        QCOMPARE(run.status, status);
        if (status == 0)
            QVERIFY(run.out.contains("encode JSON OUT"));
        else
            QVERIFY(run.err.contains("--help"));
    }

    void showForAPerson()
    {
        const Run run = runTool({"show", dataFile("worked-example.bin")});
        QCOMPARE(run.status, 0);
        const QString &text = run.out;
        for (const char *expected :
             {"Callsign: \"N0CALL\"", "Set 1\n", "Set 6\n", "\"  5 min\"", "\"Enroute\"",
              "8 \"Car\"", "\"49\" \"12.34\" \"N\"", "\"016\" \"36.50\" \"E\"",
              "\"RELAY,WIDE2-2,TRACE3-3\"", "15 \"OTHERS\"", "\"Emergency!\""})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestImageTool)
#include "tst_imagetool.moc"
