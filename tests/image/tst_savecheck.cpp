// SPDX-License-Identifier: GPL-3.0-or-later
#include "savecheck.h"
#include "testconfigs.h"

#include <QTest>
#include <functional>

using namespace tavlo;
using namespace testconfigs;

using Edit = std::function<void(ConfigSet &)>;
Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(SaveField)

class TestSaveCheck : public QObject {
    Q_OBJECT
private slots:
    void accepted_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::newRow("new window") << Edit([](ConfigSet &) {});
        QTest::newRow("worked set 1") << Edit([](ConfigSet &s) { s = workedSet1(); });
        QTest::newRow("worked set 2") << Edit([](ConfigSet &s) { s = workedSet2(); });
        QTest::newRow("ssid with blanks") << Edit([](ConfigSet &s) { s.ssid = " 015 "; });
        QTest::newRow("ssid only blanks") << Edit([](ConfigSet &s) { s.ssid = "   "; });
        QTest::newRow("unneeded lists unselected") << Edit([](ConfigSet &s) {
            s.symbol = 3;
            s.symbolCode = 95; // only stored for "OTHERS"
        });
        QTest::newRow("coordinates off ignore texts") << Edit([](ConfigSet &s) {
            s.latDegrees = "north";
            s.latMinutes = "999";
        });
        QTest::newRow("largest longitude") << Edit([](ConfigSet &s) {
            s = workedSet1();
            s.lonDegrees = " 180 ";
            s.lonMinutes = "0.000";
        });
        QTest::newRow("minutes just below 60") << Edit([](ConfigSet &s) {
            s = workedSet1();
            s.latMinutes = "59.99";
        });
        QTest::newRow("path with blanks at its ends")
            << Edit([](ConfigSet &s) { s.path = "  WIDE1-1 "; });
        QTest::newRow("empty path") << Edit([](ConfigSet &s) { s.path.clear(); });
    }
    void accepted()
    {
        QFETCH(Edit, edit);
        Configuration c;
        edit(c.sets[4]);
        const auto problem = saveProblem(c);
        QVERIFY2(!problem, problem ? qPrintable(problem->message) : "");
    }

    void refused_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<SaveField>("field");
        QTest::addColumn<QString>("message");

        QTest::newRow("ssid 16") << Edit([](ConfigSet &s) { s.ssid = "16"; }) << SaveField::Ssid
                                 << "Set 3: SSID \"16\" is not a number from 0 to 15";
        QTest::newRow("ssid negative")
            << Edit([](ConfigSet &s) { s.ssid = "-1"; }) << SaveField::Ssid << "SSID \"-1\"";
        QTest::newRow("ssid decimal")
            << Edit([](ConfigSet &s) { s.ssid = "1.0"; }) << SaveField::Ssid << "SSID";
        QTest::newRow("ssid inner blank")
            << Edit([](ConfigSet &s) { s.ssid = "1 5"; }) << SaveField::Ssid << "SSID";
        QTest::newRow("ssid huge")
            << Edit([](ConfigSet &s) { s.ssid = "99999999999"; }) << SaveField::Ssid << "SSID";

        QTest::newRow("beacon needs interval") << Edit([](ConfigSet &s) {
            s.beacon = true;
            s.comment = 0;
        }) << SaveField::Interval << "Set 3: beacon interval has no selection";
        QTest::newRow("beacon needs comment") << Edit([](ConfigSet &s) {
            s.beacon = true;
            s.interval = 0;
        }) << SaveField::Comment << "position comment has no selection";

        QTest::newRow("others needs table") << Edit([](ConfigSet &s) {
            s.symbol = SymbolOthers;
            s.symbolCode = 0;
        }) << SaveField::SymbolTable << "symbol table has no selection";
        QTest::newRow("others needs code") << Edit([](ConfigSet &s) {
            s.symbol = SymbolOthers;
            s.symbolTable = 0;
        }) << SaveField::SymbolCode << "symbol code has no selection";
        for (int code : {94, 95})
            QTest::addRow("others code %d", code) << Edit([code](ConfigSet &s) {
                s = workedSet2();
                s.symbolCode = code;
            }) << SaveField::SymbolCode << "cannot be stored for \"OTHERS\"";

        QTest::newRow("symbol out of range")
            << Edit([](ConfigSet &s) { s.symbol = 16; }) << SaveField::Symbol << "symbol entry 16";
        QTest::newRow("interval out of range") << Edit([](ConfigSet &s) { s.interval = 8; })
                                               << SaveField::Interval << "beacon interval entry 8";
        QTest::newRow("hemisphere negative") << Edit([](ConfigSet &s) { s.lonHemisphere = -1; })
                                             << SaveField::LonHemisphere << "entry -1";

        auto coords = [](const char *lad, const char *lam, const char *lod, const char *lom) {
            return Edit([=](ConfigSet &s) {
                s = workedSet1();
                s.latDegrees = lad;
                s.latMinutes = lam;
                s.lonDegrees = lod;
                s.lonMinutes = lom;
            });
        };
        QTest::newRow("new window texts")
            << coords("Text2", "Text3", "16", "0") << SaveField::LatDegrees
            << "latitude degrees \"Text2\" is not a number";
        QTest::newRow("minutes 60") << coords("49", "60", "16", "0") << SaveField::LatMinutes
                                    << "latitude minutes \"60\" must be below 60";
        // Finer than the image holds: rounding would move the station silently.
        QTest::newRow("minutes round to 60")
            << coords("49", "59.995", "16", "0") << SaveField::LatMinutes << "at most two decimals";
        QTest::newRow("three decimals") << coords("49", "12.345", "16", "0")
                                        << SaveField::LatMinutes << "latitude minutes \"12.345\"";
        QTest::newRow("fractional degrees")
            << coords("49.7", "0", "16", "0") << SaveField::LatDegrees
            << "latitude degrees \"49.7\" must be a whole number";
        QTest::newRow("fractional longitude degrees")
            << coords("49", "0", "16.25", "0") << SaveField::LonDegrees << "whole number";
        QTest::newRow("latitude above 90")
            << coords("90", "0.01", "16", "0") << SaveField::LatDegrees << "beyond 90 deg";
        QTest::newRow("degrees round above 90")
            << coords("90.5", "0", "16", "0") << SaveField::LatDegrees << "whole number";
        QTest::newRow("longitude above 180")
            << coords("49", "0", "181", "0") << SaveField::LonDegrees << "beyond 180 deg";
        QTest::newRow("huge degrees") << coords("49", "0", "99999999999999999999999", "0")
                                      << SaveField::LonDegrees << "beyond 180 deg";
        QTest::newRow("negative degrees")
            << coords("-5", "0", "16", "0") << SaveField::LatDegrees
            << "latitude degrees \"-5\" has a minus sign; type \"5\" and choose the S hemisphere";
        QTest::newRow("two points")
            << coords("49", "1.2.3", "16", "0") << SaveField::LatMinutes << "not a number";
        QTest::newRow("lone point")
            << coords("49", "0", ".", "0") << SaveField::LonDegrees << "not a number";
        QTest::newRow("empty minutes")
            << coords("49", "0", "16", "") << SaveField::LonMinutes << "not a number";
        QTest::newRow("comma separator")
            << coords("49", "12,5", "16", "0") << SaveField::LatMinutes << "not a number";
        QTest::newRow("coordinates need hemisphere") << Edit([](ConfigSet &s) {
            s = workedSet1();
            s.lonHemisphere.reset();
        }) << SaveField::LonHemisphere << "longitude hemisphere has no selection";

        auto path = [](const char *text) {
            return Edit([=](ConfigSet &s) { s.path = text; });
        };
        QTest::newRow("WIDE2-1") << path("WIDE2-1") << SaveField::Path
                                 << "Set 3: path \"WIDE2-1\" would be stored as \"WIDE2-2\"; WIDE "
                                    "and TRACE hops are stored as n-n: WIDE2-1 cannot be stored";
        QTest::newRow("the usual modern path")
            << path("WIDE1-1,WIDE2-1") << SaveField::Path << "n-n: WIDE2-1 cannot be stored";
        // The refusal names a path the image holds, for what the set does.
        QTest::newRow("a set that moves is offered a mobile's path") << Edit([](ConfigSet &s) {
            s.gps = true;
            s.path = QStringLiteral("WIDE1-1,WIDE2-1");
        }) << SaveField::Path << "can use WIDE1-1, or WIDE1-1,WIDE2-2 where";
        QTest::newRow("a fixed set is offered a fixed station's path") << Edit([](ConfigSet &s) {
            s.gps = false;
            s.path = QStringLiteral("WIDE2-1");
        }) << SaveField::Path << "a fixed set can use WIDE2-2, or the call of a digipeater";
        QTest::newRow("a digipeater's SSID above 7")
            << path("DB0XYZ-10") << SaveField::Path
            << "the device stores a path callsign's SSID 0 to 7 only, so DB0XYZ-10 cannot be "
               "stored";
        QTest::newRow("lower case") << path("wide1-1,wide2-2") << SaveField::Path
                                    << "the device stores paths in capitals: type "
                                       "\"WIDE1-1,WIDE2-2\"";
        QTest::newRow("a minus sign west")
            << coords("49", "0", "-71", "5") << SaveField::LonDegrees
            << "longitude degrees \"-71\" has a minus sign; type \"71\" and choose the W "
               "hemisphere";
        QTest::newRow("WIDE8-8") << path("WIDE8-8") << SaveField::Path
                                 << "would be stored as \"TRACE\"";
        QTest::newRow("ssid suffix 15")
            << path("N0CALL-15") << SaveField::Path << "would be stored as \"N0CALL-1\"";
        QTest::newRow("numbered 16") << path("16") << SaveField::Path << "path \"16\"";
        QTest::newRow("numbered with more")
            << path("5,WIDE2-2") << SaveField::Path << "would be stored as \"5\"";
        QTest::newRow("too long") << path("N0CALL,N1CALL") << SaveField::Path
                                  << "would be stored as \"N0CALL,N1CA\"";
        QTest::newRow("stray comma")
            << path("WIDE2-2,") << SaveField::Path << "would be stored as \"WIDE2-2\"";
        QTest::newRow("tab") << path("WIDE\t") << SaveField::Path << "character code 9";
        QTest::newRow("beyond ASCII")
            << path("W\u00C9DE") << SaveField::Path << "character code 201 (U+00C9)";
        QTest::newRow("beyond U+FFFF")
            << path("W\U0001F600") << SaveField::Path << "code 128512 (U+1F600)";
    }
    void refused()
    {
        QFETCH(Edit, edit);
        QFETCH(SaveField, field);
        QFETCH(QString, message);
        Configuration c;
        c.sets[0] = workedSet1();
        edit(c.sets[2]);
        const auto problem = saveProblem(c);
        QVERIFY(problem);
        QCOMPARE(problem->set, 2);
        QCOMPARE(problem->field, field);
        QVERIFY2(problem->message.startsWith(QStringLiteral("Set 3: ")),
                 qPrintable(problem->message));
        QVERIFY2(problem->message.contains(message), qPrintable(problem->message));
    }

    void callsign_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<bool>("saves");
        QTest::newRow("longer than six") << "OK1ABCD" << false;
        QTest::newRow("an SSID on the call") << "N0CALL-7" << false;
        QTest::newRow("a portable suffix") << "G4ABC/P" << false;
        QTest::newRow("six and blanks") << "OK1ABC  " << true;
        QTest::newRow("blanks and symbols") << " a~ !" << true;
        QTest::newRow("control character") << "N0\x01" << false;
        QTest::newRow("DEL") << "N0\x7f" << false;
        QTest::newRow("letter beyond ASCII") << "N\u00D8CALL" << false;
    }
    void callsign()
    {
        QFETCH(QString, callsign);
        QFETCH(bool, saves);
        Configuration c;
        c.callsign = callsign;
        c.sets[5].ssid = "77"; // the callsign is looked at first
        const auto problem = saveProblem(c);
        QVERIFY(problem);
        QCOMPARE(problem->set, saves ? 5 : -1);
        QCOMPARE(problem->field, saves ? SaveField::Ssid : SaveField::Callsign);
        if (callsign.contains(u'/'))
            QVERIFY2(problem->message.contains(QStringLiteral("type \"G4ABC\", the home call")) &&
                         problem->message.contains(QStringLiteral("-7 for a handheld")),
                     qPrintable(problem->message));
    }
};

QTEST_GUILESS_MAIN(TestSaveCheck)

#include "tst_savecheck.moc"
