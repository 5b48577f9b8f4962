// SPDX-License-Identifier: GPL-3.0-or-later
#include "configjson.h"
#include "configuration.h"
#include "displaytext.h"
#include "fields.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace tavlo;

class TestModel : public QObject {
    Q_OBJECT
private slots:
    void printableTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "N0CALL"
                               << "N0CALL";
        QTest::newRow("NUL does not cut the rest") << QString::fromUtf16(u"N0\0LL", 5) << "N0\\0LL";
        QTest::newRow("terminal title") << "\x1b]0;X\x07"
                                        << "\\e]0;X\\x07";
        QTest::newRow("line breaks and tab") << "a\nb\r\tc"
                                             << "a\\nb\\r\\tc";
        QTest::newRow("DEL and C1") << QString::fromUtf16(u"a\x7f\x9b") << "a\\x7f\\x9b";
        QTest::newRow("letters beyond ASCII stay") << "N\u00D8CALL"
                                                   << "N\u00D8CALL";
        QTest::newRow("long, cut")
            << QString(1000, u'x') << QString(80, u'x') + "... (1000 characters)";
        QTest::newRow("a byte of a file name that is not UTF-8")
            << QString::fromUtf16(u"club-\xDCFC.bin") << "club-\\xfc.bin";
    }
    void printableTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(printable(text), shown);
        QCOMPARE(quoted(text), u'"' + shown + u'"');
    }

    // Inside quotes, a quote or backslash cannot end the text or pass for an escape.
    void quotedTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("quote") << "N0\"AL"
                               << "\"N0\\\"AL\"";
        QTest::newRow("backslash, the symbol table") << "\\"
                                                     << "\"\\\\\"";
        QTest::newRow("backslash before a control") << "\\\n"
                                                    << "\"\\\\\\n\"";
    }
    void quotedTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(quoted(text), shown);
    }

    void listEntries_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("text");
        QTest::newRow("symbol 0") << symbolNames() << 16 << 0 << "KENWOOD";
        QTest::newRow("symbol 15") << symbolNames() << 16 << SymbolOthers << "OTHERS";
        QTest::newRow("table 1") << symbolTables() << 2 << 1 << "\\";
        QTest::newRow("primary table") << symbolTables() << 2 << SymbolTablePrimary << "/";
        QTest::newRow("emergency") << positionComments() << 8 << CommentEmergency << "Emergency!";
        QTest::newRow("code 0") << symbolCodes() << 96 << 0 << "!";
        QTest::newRow("code 14") << symbolCodes() << 96 << 14 << "/";
        QTest::newRow("code 93") << symbolCodes() << 96 << 93 << "~";
        QTest::newRow("code 95") << symbolCodes() << 96 << 95 << QString(QChar(128));
        QTest::newRow("comment 4") << positionComments() << 8 << 4 << "Commited";
        QTest::newRow("interval 0") << beaconIntervals() << 8 << 0 << "0.5 min";
        QTest::newRow("interval 1") << beaconIntervals() << 8 << 1 << "  1 min";
        QTest::newRow("interval 5") << beaconIntervals() << 8 << 5 << " 10 min";
        QTest::newRow("lat 1") << latitudeHemispheres() << 2 << 1 << "S";
        QTest::newRow("lon 1") << longitudeHemispheres() << 2 << 1 << "W";
    }
    void listEntries()
    {
        QFETCH(QStringList, list);
        QFETCH(int, size);
        QFETCH(int, entry);
        QFETCH(QString, text);
        QCOMPARE(list.size(), size);
        QCOMPARE(list.at(entry), text);
    }

    // Every id but the callsign's names one row of the field table, and the
    // rows are in the order of the ids; the callsign's id names none.
    void everyFieldIdHasARow()
    {
        QCOMPARE(int(setFields().size()), FieldIdCount - 1);
        for (int i = 1; i < FieldIdCount; ++i) {
            const auto id = FieldId(i);
            QCOMPARE(int(setField(id).id), i);
            QCOMPARE(setFields().at(i - 1).id, id);
            QCOMPARE(setFieldByKey(fieldKey(id)), &setField(id));
        }
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, setField(FieldId::Callsign));
        QCOMPARE(fieldKey(FieldId::Callsign), QStringLiteral("callsign"));
        QCOMPARE(setFieldByKey(u"lonminutes"), nullptr);
    }

    void jsonRoundTrip()
    {
        Configuration c;
        c.callsign = QStringLiteral("N0\u00E9\"\\\x01");
        c.sets[2].ssid = QStringLiteral(" 9");
        c.sets[2].beacon = true;
        c.sets[2].symbol = 15;
        c.sets[2].symbolCode = 95;
        c.sets[2].latHemisphere = 1;
        c.sets[5].path = QStringLiteral("RELAY,WIDE2-2");
        const Result<Configuration> back = configurationFromJson(configurationToJson(c));
        QVERIFY2(back, qPrintable(back.error()));
        QCOMPARE(*back, c);
    }

    void jsonKeyOrder()
    {
        const QByteArray json = configurationToJson(Configuration());
        const char *keys[] = {"\"callsign\"",    "\"sets\"",          "\"ssid\"",
                              "\"beacon\"",      "\"gps\"",           "\"symbol\"",
                              "\"symbolTable\"", "\"symbolCode\"",    "\"comment\"",
                              "\"interval\"",    "\"coordinates\"",   "\"latDegrees\"",
                              "\"latMinutes\"",  "\"latHemisphere\"", "\"lonDegrees\"",
                              "\"lonMinutes\"",  "\"lonHemisphere\"", "\"path\""};
        qsizetype at = -1;
        for (const char *key : keys) {
            const qsizetype next = json.indexOf(key, at + 1);
            QVERIFY2(next > at, key);
            at = next;
        }
    }

    void missingKeysKeepNewWindow()
    {
        const auto parsed =
            configurationFromJson(R"({"sets": [{}, {"path": ""}, {}, {}, {}, {}]})");
        QVERIFY2(parsed, qPrintable(parsed.error()));
        Configuration expected;
        expected.sets[1].path.clear();
        QCOMPARE(*parsed, expected);
        QCOMPARE(*configurationFromJson("{}"), Configuration());
    }

    // A list's entry may be given as the text the window shows.
    void jsonEntriesByText()
    {
        const Result<Configuration> parsed = configurationFromJson(
            R"({"sets": [{"interval": "5 min", "symbol": "Car", "comment": "Emergency!",
                          "symbolTable": "\\", "symbolCode": ">", "lonHemisphere": "W"},
                         {}, {}, {}, {}, {}]})");
        QVERIFY2(parsed, qPrintable(parsed ? QString() : parsed.error()));
        const ConfigSet &s = parsed->sets[0];
        QCOMPARE(s.interval, Entry(int(beaconIntervals().indexOf(QStringLiteral("  5 min")))));
        QCOMPARE(s.symbol, int(symbolNames().indexOf(QStringLiteral("Car"))));
        QCOMPARE(s.comment, Entry(int(positionComments().indexOf(QStringLiteral("Emergency!")))));
        QCOMPARE(s.symbolTable, Entry(1));
        QCOMPARE(s.symbolCode, Entry('>' - SymbolCodeFirst));
        QCOMPARE(s.lonHemisphere, Entry(1));
    }

    void jsonRefused_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        const QByteArray seven = R"({"sets": [{}, {}, {}, {}, {}, {}, {}]})";
        QTest::newRow("not JSON") << QByteArray("{") << "not valid JSON";
        QTest::newRow("array") << QByteArray("[]") << "must be a JSON object";
        QTest::newRow("seven sets") << seven << "list of at most six sets";
        QTest::newRow("sets not a list") << QByteArray(R"({"sets": 6})") << "must be a list";
        QTest::newRow("callsign number")
            << QByteArray(R"({"callsign": 7})") << "\"callsign\" must be a text";
        QTest::newRow("unknown top key")
            << QByteArray(R"({"call": "N0CALL"})") << "\"call\" is not a known key";
        auto inSet3 = [](const char *member) {
            return QByteArray(R"({"sets": [{}, {}, {)") + member + "}, {}, {}, {}]}";
        };
        QTest::newRow("beacon text")
            << inSet3(R"("beacon": "yes")") << "Set 3: \"beacon\" must be true or false";
        QTest::newRow("symbol null")
            << inSet3(R"("symbol": null)") << "Set 3: \"symbol\" must be a whole number";
        QTest::newRow("entry fraction")
            << inSet3(R"("interval": 1.5)") << "Set 3: \"interval\" must be a whole number or null";
        // A text that is no entry is said with the entries it may take.
        QTest::newRow("entry text")
            << inSet3(R"("comment": "1")") << "Set 3: \"1\" is not a position comment";
        QTest::newRow("no such entry")
            << inSet3(R"("interval": "7 min")")
            << "\"7 min\" is not a beacon interval; beacon intervals are: 0.5 min, 1 min";
        QTest::newRow("no such symbol")
            << inSet3(R"("symbol": "Bicycle")")
            << "\"Bicycle\" is not a symbol; symbols are: KENWOOD, Jogger, Home";
        QTest::newRow("path number") << inSet3(R"("path": 3)") << "Set 3: \"path\" must be a text";
        QTest::newRow("unknown set key")
            << inSet3(R"("lat": "49")") << "Set 3: \"lat\" is not a known key";
        QTest::newRow("set not object")
            << QByteArray(R"({"sets": [1, {}, {}, {}, {}, {}]})") << "Set 1: must be a JSON object";
    }
    // What a person types is taken: fewer sets than six (the rest as a new
    // window shows them), a list's text in other capitals, but a symbol code
    // in its own capitals.
    void jsonTaken()
    {
        const Result<Configuration> parsed = configurationFromJson(
            R"({"sets": [{"symbol": "car", "interval": " 5 MIN", "symbolCode": "a"}, {}]})");
        QVERIFY(parsed);
        QCOMPARE(parsed->sets[0].symbol, 8);
        QCOMPARE(parsed->sets[0].interval, Entry(4));
        QCOMPARE(parsed->sets[0].symbolCode, Entry('a' - SymbolCodeFirst));
        QCOMPARE(parsed->sets[5], ConfigSet());
    }

    void jsonRefused()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        const Result<Configuration> parsed = configurationFromJson(json);
        QVERIFY(!parsed);
        const QString actual = parsed.error();
        QVERIFY2(actual.contains(error), qPrintable(actual));
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
