// SPDX-License-Identifier: GPL-3.0-or-later
#include "image.h"
#include "pathcodec.h"
#include "savecheck.h"
#include "testconfigs.h"

#include <QRandomGenerator>
#include <QTest>

using namespace tavlo;
using namespace testconfigs;

namespace {

QByteArray setBlock(const QByteArray &image, int set)
{
    return image.mid(CallsignLength + set * SetBlockSize, SetBlockSize);
}

QByteArray pathField(const QByteArray &codes)
{
    return codes + blanks(PathFieldLength - int(codes.size()));
}

} // namespace

class TestCodec : public QObject {
    Q_OBJECT
private slots:
    void workedExampleEncodes()
    {
        const QByteArray image = encodeImage(workedExample());
        QCOMPARE(image.size(), ImageSize);
        QCOMPARE(image.left(6), QByteArray("N0CALL"));
        QCOMPARE(setBlock(image, 0), hex("C9413887 7EE2027F42828B") + blanks(9));
        QCOMPARE(setBlock(image, 1), hex("008FBE60202060202093") + blanks(10));
        // A set as a new window leaves it: symbol "0", coordinates off, no path.
        QCOMPARE(setBlock(image, 5), hex("000030202020202020") + pathField(""));
        QCOMPARE(image.at(ImageSize - 1), '\0');
    }

    void callsign_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("empty") << QString() << QByteArray("      ");
        QTest::newRow("longer than six") << QStringLiteral("N0CALL-7") << QByteArray("N0CALL");
        QTest::newRow("short, lower case") << QStringLiteral("nocal") << QByteArray("nocal ");
    }
    void callsign()
    {
        QFETCH(QString, callsign);
        QFETCH(QByteArray, stored);
        Configuration c;
        c.callsign = callsign;
        QCOMPARE(encodeImage(c).left(CallsignLength), stored);
    }

    void setBytes_data()
    {
        QTest::addColumn<ConfigSet>("set");
        QTest::addColumn<QByteArray>("first9");

        ConfigSet s;
        s.ssid = QString();
        QTest::newRow("empty ssid") << s << hex("000030202020202020");
        s.ssid = QStringLiteral("0");
        QTest::newRow("ssid 0 is the same") << s << hex("000030202020202020");
        s.ssid = QStringLiteral(" 15 ");
        QTest::newRow("ssid 15 with blanks") << s << hex("0F0030202020202020");

        s = ConfigSet();
        s.coordinates = true;
        s.latDegrees = QStringLiteral("5");
        s.latMinutes = QStringLiteral("3.5");
        s.latHemisphere = 0;
        s.lonDegrees = QStringLiteral("123");
        s.lonMinutes = QStringLiteral("45.67");
        s.lonHemisphere = 1;
        QTest::newRow("latitude 5 3.5") << s << hex("000030 80C4AE 52D687");
        s.latDegrees = QStringLiteral("90");
        s.latMinutes = QStringLiteral("0");
        s.lonDegrees = QStringLiteral("180");
        s.lonMinutes = QStringLiteral("00.00");
        s.lonHemisphere = 0;
        QTest::newRow("largest values") << s << hex("000030 8DBBA0 1B7740");
        s.latDegrees = QStringLiteral("13.0");
        s.latMinutes = QStringLiteral("7.130");
        QTest::newRow("trailing zeros") << s << hex("000030 81FE99 1B7740");

        s.coordinates = false;
        s.latHemisphere = 1;
        s.lonHemisphere = 1;
        s.latDegrees = QStringLiteral("anything");
        QTest::newRow("coordinates off") << s << hex("000030 602020 602020");

        s = ConfigSet();
        s.symbol = 14;
        s.symbolTable = 1;
        s.symbolCode = 5; // ignored for a named symbol
        s.interval = 7;
        s.comment = 6;
        s.gps = true;
        s.beacon = true;
        QTest::newRow("named symbol E, table and lists") << s << hex("40 7E C5 202020 202020");
    }
    void setBytes()
    {
        QFETCH(ConfigSet, set);
        QFETCH(QByteArray, first9);
        Configuration c;
        c.sets[3] = set;
        QCOMPARE(saveProblem(c).has_value(), false);
        QCOMPARE(setBlock(encodeImage(c), 3).left(9), first9);
    }

    void pathEncodes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("relay");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("WIDE") << "WIDE" << false << pathField(hex("80"));
        QTest::newRow("WIDE1-1,WIDE2-2") << "WIDE1-1,WIDE2-2" << false << pathField(hex("8182"));
        QTest::newRow("TRACE") << "TRACE" << false << pathField(hex("88"));
        QTest::newRow("call with ssid, ECHO")
            << "N0CALL-1,ECHO" << false << pathField(hex("4E3043414C4CD1E0"));
        QTest::newRow("GATE,NOGATE") << "GATE,NOGATE" << false << pathField(hex("E2E1"));
        QTest::newRow("RELAY alone") << "RELAY" << true << blanks(11);
        QTest::newRow("numbered 12") << "12" << false << pathField(hex("9C"));
        QTest::newRow("numbered drops the rest") << "5,WIDE2-2" << false << pathField(hex("95"));
        QTest::newRow("plain commas stay") << "A,B,WIDE" << false << pathField(hex("412C422C80"));
        QTest::newRow("RELAY,WIDE2-2") << "RELAY,WIDE2-2" << true << pathField(hex("82"));
        QTest::newRow("RELAY not first") << "WIDE,RELAY" << false << pathField(hex("8052454C4159"));
        QTest::newRow("OK without digit blocks OK1")
            << "OKAY,OK1" << false << pathField("OKAY,OK1");
        QTest::newRow("lower case keyword")
            << "wide2-2" << false << pathField(hex("77696465 32D2"));
        QTest::newRow("OE, OM, IGATE") << "OE3,OM7,IGATE" << false << pathField(hex("B3C7E3"));
        QTest::newRow("cut to 11") << "ABCDEFGHIJKLM" << false << QByteArray("ABCDEFGHIJK");
        QTest::newRow("blanks at the ends") << "  RELAY,3  " << true << pathField(hex("93"));
        QTest::newRow("empty") << "" << false << blanks(11);
    }
    void pathEncodes()
    {
        QFETCH(QString, path);
        QFETCH(bool, relay);
        QFETCH(QByteArray, field);
        const EncodedPath encoded = encodePath(path);
        QCOMPARE(encoded.relay, relay);
        QCOMPARE(encoded.field, field);
    }

    void pathDecodes_data()
    {
        QTest::addColumn<bool>("relay");
        QTest::addColumn<QByteArray>("codes");
        QTest::addColumn<QString>("path");
        QTest::newRow("82") << false << hex("82") << "WIDE2-2";
        QTest::newRow("80") << false << hex("80") << "WIDE";
        QTest::newRow("88") << false << hex("88") << "TRACE";
        QTest::newRow("81 82") << false << hex("8182") << "WIDE1-1,WIDE2-2";
        QTest::newRow("call-1 echo") << false << hex("4E3043414C4CD1E0") << "N0CALL-1,ECHO";
        QTest::newRow("E2 E1") << false << hex("E2E1") << "GATE,NOGATE";
        QTest::newRow("A,B,WIDE") << false << hex("412C422C80") << "A,B,WIDE";
        QTest::newRow("9C") << false << hex("9C") << "12";
        QTest::newRow("OK1 joins") << false << hex("4E3043414C4CA1D1") << "N0CALLOK1-1";
        QTest::newRow("relay, blanks") << true << QByteArray() << "RELAY";
        QTest::newRow("relay dropped by number") << true << hex("93") << "3";
        QTest::newRow("relay, 82") << true << hex("82") << "RELAY,WIDE2-2";
        QTest::newRow("group 7 adds nothing") << false << hex("41F042") << "AB";
        QTest::newRow("group 6 above 3 adds nothing") << false << hex("E5E7") << "";
        QTest::newRow("stored comma before code") << false << hex("412C82") << "A,WIDE2-2";
        QTest::newRow("TRACE7-7 then OM0") << false << hex("8FC0") << "TRACE7-7,OM0";
        QTest::newRow("control bytes pass")
            << false << hex("000D") << QString::fromLatin1("\0\r", 2);
    }
    void pathDecodes()
    {
        QFETCH(bool, relay);
        QFETCH(QByteArray, codes);
        QFETCH(QString, path);
        QCOMPARE(decodePath(relay, pathField(codes)), path);
    }

    void workedExampleDecodes()
    {
        QByteArray image = encodeImage(workedExample());
        const auto config = decodeImage(image);
        QVERIFY(config);
        QCOMPARE(config->callsign, QStringLiteral("N0CALL"));
        const ConfigSet &a = config->sets[0];
        QCOMPARE(a.path, QStringLiteral("RELAY,WIDE2-2,TRACE3-3"));
        QCOMPARE(a.beacon, true);
        QCOMPARE(a.ssid, QStringLiteral(" 9"));
        QCOMPARE(a.interval, Entry(4));
        QCOMPARE(a.gps, false);
        QCOMPARE(a.comment, Entry(1));
        QCOMPARE(a.symbolTable, Entry(0));
        QCOMPARE(a.symbolCode, Entry('8' - SymbolCodeFirst));
        QCOMPARE(a.symbol, 8);
        QCOMPARE(a.coordinates, true);
        QCOMPARE(a.latHemisphere, Entry(0));
        QCOMPARE(a.latDegrees, QStringLiteral("49"));
        QCOMPARE(a.latMinutes, QStringLiteral("12.34"));
        QCOMPARE(a.lonHemisphere, Entry(0));
        QCOMPARE(a.lonDegrees, QStringLiteral("016"));
        QCOMPARE(a.lonMinutes, QStringLiteral("36.50"));

        const ConfigSet &b = config->sets[1];
        QCOMPARE(b.path, QStringLiteral("3"));
        QCOMPARE(b.beacon, false);
        QCOMPARE(b.ssid, QStringLiteral(" "));
        QCOMPARE(b.interval, Entry(0));
        QCOMPARE(b.gps, true);
        QCOMPARE(b.comment, Entry(7));
        QCOMPARE(b.symbolTable, Entry(1));
        QCOMPARE(b.symbolCode, Entry(29));
        QCOMPARE(b.symbol, SymbolOthers);
        QCOMPARE(b.coordinates, false);
        QCOMPARE(b.latHemisphere, Entry(1));
        QCOMPARE(b.lonHemisphere, Entry(1));
        // The blanks stored for switched-off coordinates read as V = 8224.
        QCOMPARE(b.latDegrees, QStringLiteral("00"));
        QCOMPARE(b.latMinutes, QStringLiteral("82.24"));
        QCOMPARE(b.lonDegrees, QStringLiteral("000"));
        QCOMPARE(b.lonMinutes, QStringLiteral("82.24"));

        // The end byte and anything after it are not read.
        image.chop(1);
        QCOMPARE(*decodeImage(image), *config);
        QCOMPARE(*decodeImage(image + QByteArray(500, '\xFF')), *config);
        const auto tooShort = decodeImage(image.left(ImageReadSize - 1));
        QVERIFY(!tooShort);
        QCOMPARE(tooShort.error(), QStringLiteral("125 bytes, too short for a configuration "
                                                  "image (it needs at least 126 bytes)"));
    }

    void blockDecodes_data()
    {
        QTest::addColumn<QByteArray>("first9");
        QTest::addColumn<QString>("ssid");
        QTest::addColumn<int>("symbol");
        QTest::addColumn<Entry>("code");
        QTest::addColumn<QString>("lat");
        QTest::addColumn<QString>("lon");
        const Entry none;
        QTest::newRow("5 3.5 and 123 45.67")
            << hex("0F0030 80C4AE 12D687") << " 15" << 0 << Entry(15) << "05 03.50"
            << "123 45.67";
        QTest::newRow("largest latitude")
            << hex("00001F 1FFFFF 000000") << " " << 0 << none << "20 97.151"
            << "000 00.00";
        QTest::newRow("bits 5..4 of byte 0 ignored")
            << hex("3500 30 000000 000000") << " 5" << 0 << Entry(15) << "00 00.00"
            << "000 00.00";
        QTest::newRow("named 'a' is 10")
            << hex("000061 000000 000000") << " " << 10 << Entry(64) << "00 00.00"
            << "000 00.00";
        QTest::newRow("named 'G' is 0")
            << hex("000047 000000 000000") << " " << 0 << Entry(38) << "00 00.00"
            << "000 00.00";
        QTest::newRow("code 32 has no entry")
            << hex("008020 000000 000000") << " " << 15 << none << "00 00.00"
            << "000 00.00";
        QTest::newRow("code 5 has no entry")
            << hex("008085 000000 000000") << " " << 15 << none << "00 00.00"
            << "000 00.00";
        QTest::newRow("code 127") << hex("00807F 000000 000000") << " " << 15 << Entry(94)
                                  << "00 00.00"
                                  << "000 00.00";
    }
    void blockDecodes()
    {
        QFETCH(QByteArray, first9);
        QFETCH(QString, ssid);
        QFETCH(int, symbol);
        QFETCH(Entry, code);
        QFETCH(QString, lat);
        QFETCH(QString, lon);
        QByteArray image(ImageReadSize, ' ');
        image.replace(CallsignLength + 2 * SetBlockSize, 9, first9);
        const auto config = decodeImage(image);
        QVERIFY(config);
        const ConfigSet &s = config->sets[2];
        QCOMPARE(s.ssid, ssid);
        QCOMPARE(s.symbol, symbol);
        QCOMPARE(s.symbolCode, code);
        QCOMPARE(s.latDegrees + u' ' + s.latMinutes, lat);
        QCOMPARE(s.lonDegrees + u' ' + s.lonMinutes, lon);
    }

    // Any image that saving writes opens and saves again to the same bytes,
    // and opening shows what was typed.
    void savedImagesRoundTrip()
    {
        RandomSets random(20261208);
        for (int round = 0; round < 1000; ++round) {
            const Configuration c = random.savableConfiguration();
            QCOMPARE(saveProblem(c).has_value(), false);
            const QByteArray image = encodeImage(c);
            QCOMPARE(image.size(), ImageSize);
            const auto opened = decodeImage(image);
            QVERIFY(opened);
            QCOMPARE(saveProblem(*opened).has_value(), false);
            QCOMPARE(encodeImage(*opened), image);
            QCOMPARE(opened->callsign, (c.callsign + blanks(6)).left(6));
            for (int i = 0; i < SetCount; ++i)
                QCOMPARE(opened->sets[i].path, c.sets[i].path.trimmed());
        }
    }

    // Opening never fails on 126 bytes or more, whatever they hold.
    void anyBytesDecode()
    {
        QRandomGenerator rng(7);
        for (int round = 0; round < 2000; ++round) {
            QByteArray bytes(ImageReadSize + rng.bounded(3), Qt::Uninitialized);
            for (char &b : bytes)
                b = char(rng.bounded(256));
            const auto config = decodeImage(bytes);
            QVERIFY(config);
            for (const ConfigSet &s : config->sets) {
                QVERIFY(s.symbol >= 0 && s.symbol < SymbolCount);
                QVERIFY(!s.symbolCode || (*s.symbolCode >= 0 && *s.symbolCode < SymbolCodeCount));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestCodec)

#include "tst_codec.moc"
