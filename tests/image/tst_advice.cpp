// SPDX-License-Identifier: GPL-3.0-or-later
#include "advice.h"
#include "image.h"
#include "lists.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <functional>

using namespace tavlo;

using Edit = std::function<void(Configuration &)>;
Q_DECLARE_METATYPE(Edit)

namespace {

// A configuration an experienced operator would send on the air: six mobile
// sets with GPS, a short path and a polite interval.
Configuration clean()
{
    Configuration c;
    c.callsign = QStringLiteral("OK1ABC");
    for (int i = 0; i < SetCount; ++i) {
        ConfigSet &s = c.sets[i];
        s.ssid = QStringLiteral("9");
        s.beacon = true;
        s.gps = true;
        s.interval = 4; // 5 min
        s.comment = 1;  // Enroute
        s.path = i % 2 ? QStringLiteral("WIDE2-2") : QStringLiteral("WIDE1-1");
    }
    return c;
}

// Set 1 at a fixed position, without GPS.
void fixedAt(Configuration &c, const char *latMinutes, const char *lonMinutes)
{
    ConfigSet &s = c.sets[0];
    s.gps = false;
    s.coordinates = true;
    s.latDegrees = QStringLiteral("49");
    s.latMinutes = QString::fromLatin1(latMinutes);
    s.latHemisphere = 0;
    s.lonDegrees = QStringLiteral("16");
    s.lonMinutes = QString::fromLatin1(lonMinutes);
    s.lonHemisphere = 0;
    s.interval = 7; // 30 min
}

// Edits of a clean configuration, for the rows below.
Edit set1(const std::function<void(ConfigSet &)> &f)
{
    return Edit([f](Configuration &c) { f(c.sets[0]); });
}

Edit path(const char *p)
{
    return set1([p](ConfigSet &s) { s.path = QString::fromLatin1(p); });
}

Edit call(const char *text)
{
    return Edit([text](Configuration &c) { c.callsign = QString::fromLatin1(text); });
}

Edit symbol(int ssid, const char *name, int table = -1, char code = 0)
{
    return set1([=](ConfigSet &s) {
        s.ssid = QString::number(ssid);
        s.symbol = int(symbolNames().indexOf(QString::fromLatin1(name)));
        if (table >= 0) {
            s.symbolTable = table;
            s.symbolCode = code - SymbolCodeFirst;
        }
    });
}

Edit every(const char *p, int interval)
{
    return set1([=](ConfigSet &s) {
        s.path = QString::fromLatin1(p);
        s.interval = interval;
    });
}

void findingColumns()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("id");      // empty: no finding at all
    QTest::addColumn<QString>("message"); // a part of it
}

// The findings, a line each, for a failure's message.
QString said(const QList<Finding> &found)
{
    QStringList lines;
    for (const Finding &f : found)
        lines << severityName(f.severity) + u' ' + f.id + u' ' + f.message;
    return lines.join(u'\n');
}

// The row's edit of a clean configuration gives a finding of its id whose
// message has its text; with no id, no finding at all.
void checkRow()
{
    QFETCH(Edit, edit);
    QFETCH(QString, id);
    QFETCH(QString, message);
    Configuration config = clean();
    edit(config);
    const QList<Finding> found = adviseOn(config);
    const bool named = std::any_of(found.begin(), found.end(), [&](const Finding &f) {
        return f.id == id && f.message.contains(message);
    });
    QVERIFY2(id.isEmpty() ? found.isEmpty() : named, qPrintable(said(found)));
}

} // namespace

class TestAdvice : public QObject {
    Q_OBJECT
private slots:
    // One row a check that finds something, and its neighbour that must not.
    void callsignsAndSsids_data()
    {
        findingColumns();
        QTest::newRow("clean") << Edit([](Configuration &) {}) << ""
                               << "";
        QTest::newRow("callsign empty")
            << Edit([](Configuration &c) { c.callsign.clear(); }) << "callsign-empty"
            << "Callsign: empty";
        QTest::newRow("callsign lower case")
            << Edit([](Configuration &c) { c.callsign = QStringLiteral("ok1abc"); })
            << "callsign-lowercase"
            << "type \"OK1ABC\"";
        QTest::newRow("N0CALL") << call("N0CALL") << "callsign-placeholder"
                                << "the example call of manuals";
        QTest::newRow("NOCALL") << call("NOCALL") << "callsign-placeholder"
                                << "\"NOCALL\"";
        QTest::newRow("no digit") << call("TEST") << "callsign-no-digit"
                                  << "\"TEST\" has no digit";
        QTest::newRow("portable suffix") << call("G4A/P") << "callsign-suffix"
                                         << "type \"G4A\", the home call; the suffix \"/P\"";
        QTest::newRow("a call with two digits") << call("2E0ABC") << ""
                                                << "";
        QTest::newRow("callsign other characters")
            << Edit([](Configuration &c) { c.callsign = QStringLiteral("N0-CA"); })
            << "callsign-characters"
            << "(\"-\")";
        QTest::newRow("ssid empty, beacon on")
            << set1([](ConfigSet &s) { s.ssid.clear(); }) << "ssid-empty"
            << "Set 1 SSID: empty";
        QTest::newRow("ssid empty, beacon off") << set1([](ConfigSet &s) {
            s.ssid.clear();
            s.beacon = false;
        }) << ""
                                                << "";
        QTest::newRow("ssid 0, stored as none")
            << set1([](ConfigSet &s) { s.ssid = QStringLiteral("0"); }) << "ssid-empty"
            << "a primary station's";
        QTest::newRow("a fixed home station without an SSID") << Edit([](Configuration &c) {
            fixedAt(c, "12.34", "36.50");
            c.sets[0].ssid.clear();
            c.sets[0].interval = 7; // 30 min
        }) << ""
                                                              << "";
        QTest::newRow("fixed every 30 min") << Edit([](Configuration &c) {
            fixedAt(c, "12.34", "36.50");
            c.sets[0].ssid = QStringLiteral("1");
        }) << ""
                                            << "";
        QTest::newRow("ssid 9 at a fixed position")
            << Edit([](Configuration &c) { fixedAt(c, "12.34", "36.50"); }) << "ssid-use"
            << "-9 is customary for a station that moves";
        QTest::newRow("-9 with a house") << symbol(9, "Home") << "ssid-symbol"
                                         << "-9 is a mobile's, but the symbol is a house";
        QTest::newRow("-13 with a car") << symbol(13, "Car") << "ssid-symbol"
                                        << "-13 is a weather station's";
        QTest::newRow("-13 with the free symbol /> (a car)")
            << symbol(13, "OTHERS", 0, '>') << "ssid-symbol"
            << "the symbol is a vehicle";
        QTest::newRow("-9 with a car") << symbol(9, "Car") << ""
                                       << "";
        QTest::newRow("-13 with the free symbol /_ (weather)") << symbol(13, "OTHERS", 0, '_') << ""
                                                               << "";
    }
    void callsignsAndSsids() { checkRow(); }

    void paths_data()
    {
        findingColumns();
        QTest::newRow("RELAY") << path("RELAY,WIDE2-2") << "path-obsolete"
                               << "Set 1 path: \"RELAY,WIDE2-2\" uses RELAY";
        QTest::newRow("bare WIDE") << path("WIDE") << "path-obsolete"
                                   << "uses WIDE,";
        QTest::newRow("TRACE") << path("TRACE2-2") << "path-obsolete"
                               << "uses TRACE2-2";
        QTest::newRow("ECHO") << path("ECHO") << "path-obsolete"
                              << "uses ECHO,";
        QTest::newRow("GATE") << path("WIDE2-2,GATE") << "path-obsolete"
                              << "uses GATE,";
        QTest::newRow("directional path 12") << path("12") << "path-directional"
                                             << "is a directional path";
        QTest::newRow("numbered path 2") << path("2") << ""
                                         << "";
        QTest::newRow("ARISS with ground hops") << path("ARISS,WIDE2-2") << "path-space-ground"
                                                << "use ARISS alone";
        QTest::newRow("1 hop every minute") << every("WIDE1-1", 1) << "beacon-rate-hops"
                                            << "1 hop at most once every 2 minutes: use 2 min";
        QTest::newRow("2 hops every 3 minutes") << every("WIDE2-2", 3) << "beacon-rate-hops"
                                                << "2 hops at most once every 4 minutes: use 5 min";
        QTest::newRow("3 hops every 5 minutes")
            << every("WIDE1-1,WIDE2-2", 4) << "beacon-rate-hops"
            << "3 hops at most once every 8 minutes: use 10 min";
        QTest::newRow("a digipeater's call every minute")
            << every("N0DIGI", 1) << "beacon-rate-hops"
            << "a path of 1 hop";
        QTest::newRow("1 hop every 2 minutes") << every("WIDE1-1", 2) << ""
                                               << "";
        QTest::newRow("direct every minute") << every("", 1) << ""
                                             << "";
        QTest::newRow("three hops") << path("WIDE3-3") << "path-hops"
                                    << "asks for 3 hops";
        QTest::newRow("a mobile on WIDE1-1,WIDE2-2 at 10 min")
            << set1([](ConfigSet &s) {
                   s.path = QStringLiteral("WIDE1-1,WIDE2-2");
                   s.interval = 5;
               })
            << "path-three-hops"
            << "suits a mobile where digipeaters are sparse";
        QTest::newRow("four hops in all") << path("WIDE2-2,WIDE2-2") << "path-hops"
                                          << "asks for 4 hops";
        QTest::newRow("WIDE2-2,NOGATE at 5 min") << path("WIDE2-2,NOGATE") << ""
                                                 << "";
        QTest::newRow("RFONLY counts no hop") << path("WIDE1-1,WIDE2-2,RFONLY") << "path-three-hops"
                                              << "asks for 3 hops";
        QTest::newRow("numbered path 3") << path("3") << "path-hops"
                                         << "asks for 3 hops";
        QTest::newRow("WIDE1-1 after WIDE2-2") << path("WIDE2-2,WIDE1-1") << "path-wide1-first"
                                               << "has WIDE1-1 after WIDE2-2";
        QTest::newRow("a digipeater's call then WIDE1-1") << path("N0DIGI,WIDE1-1") << ""
                                                          << "";
        QTest::newRow("WIDE1-1 twice") << path("WIDE1-1,WIDE1-1") << ""
                                       << "";
        QTest::newRow("Text1") << path("Text1") << "path-not-a-path"
                               << "Set 1 path: \"Text1\" is the initial text of an earlier";
        QTest::newRow("no path at all") << path("") << ""
                                        << "";
        QTest::newRow("lower-case element") << path("wide2-2") << "path-not-a-path"
                                            << "\"wide2-2\" is not an upper-case";
        QTest::newRow("alias and digipeater") << path("ARISS") << ""
                                              << "";
        QTest::newRow("a digipeater's call") << path("N0DIGI-3") << ""
                                             << "";
        QTest::newRow("no path") << path("") << ""
                                 << "";
    }
    void paths() { checkRow(); }

    // Stations the first checks did not meet: prefixed calls, airborne and
    // satellite sets, parked sets; a finding's severity is part of the row.
    void stationsOfEveryKind_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("severity"); // empty: no finding of that id
        QTest::addColumn<QString>("message");
        const auto balloon = [](const char *p, int ssid, char code) {
            return set1([=](ConfigSet &s) {
                s.path = QString::fromLatin1(p);
                s.ssid = QString::number(ssid);
                s.interval = 5; // 10 min
                s.symbol = SymbolOthers;
                s.symbolTable = SymbolTablePrimary;
                s.symbolCode = code - SymbolCodeFirst;
            });
        };
        const auto space = [](const char *p) {
            return Edit([p](Configuration &c) {
                fixedAt(c, "12.34", "36.50");
                c.sets[0].interval = 1; // 1 min: a pass lasts minutes
                c.sets[0].path = QString::fromLatin1(p);
            });
        };
        const auto parked = [](const std::function<void(ConfigSet &)> &f) {
            return set1([f](ConfigSet &s) {
                s.beacon = false;
                f(s);
            });
        };
        QTest::newRow("a prefix: the home call has the digit")
            << call("F/K1A") << "callsign-no-digit"
            << ""
            << "";
        QTest::newRow("a prefix: type the home call")
            << call("F/K1A") << "callsign-suffix"
            << "warning"
            << "one plain call, and an AX.25 address holds no slash: type \"K1A\", the home call; "
               "the prefix \"F/\" goes, if anywhere, in a comment";
        QTest::newRow("maritime mobile") << call("K1A/MM") << "callsign-suffix"
                                         << "warning"
                                         << "the set's SSID says what /MM says: -8 for a boat";
        QTest::newRow("a call without a digit, with a suffix")
            << call("TEST/P") << "callsign-no-digit"
            << "warning"
            << "\"TEST/P\" has no digit";
        QTest::newRow("a balloon on WIDE2-2")
            << balloon("WIDE2-2", 11, 'O') << "path-airborne"
            << "warning"
            << "asks for 2 hops from the air (SSID -11, a balloon's or aircraft's)";
        QTest::newRow("a glider on the mobile path")
            << balloon("WIDE1-1,WIDE2-2", 9, 'g') << "path-airborne"
            << "warning"
            << "a glider's symbol, /g); from above, a packet reaches many digipeaters at once: "
               "use no path, or WIDE1-1 at most";
        QTest::newRow("an airborne path is not a sparse-area mobile's")
            << balloon("WIDE1-1,WIDE2-2", 9, 'g') << "path-three-hops"
            << ""
            << "";
        QTest::newRow("a balloon on one hop") << balloon("WIDE1-1", 11, 'O') << "path-airborne"
                                              << ""
                                              << "";
        QTest::newRow("an aircraft's named symbol") << Edit([](Configuration &c) {
            c.sets[0].symbol = int(symbolNames().indexOf(QStringLiteral("Aircraft")));
            c.sets[0].path = QStringLiteral("WIDE2-2");
        }) << "path-airborne"
                                                    << "warning"
                                                    << "an aircraft's symbol";
        QTest::newRow("a car is on the ground") << balloon("WIDE2-2", 9, '>') << "path-airborne"
                                                << ""
                                                << "";
        QTest::newRow("APRSAT at 1 minute, fixed") << space("APRSAT") << "beacon-rate-hops"
                                                   << ""
                                                   << "";
        QTest::newRow("RS0ISS is no fixed station's ground path")
            << space("RS0ISS") << "beacon-fixed-often"
            << ""
            << "";
        QTest::newRow("ground hops after RS0ISS") << space("RS0ISS,WIDE2-2") << "path-space-ground"
                                                  << "note"
                                                  << "adds ground hops to RS0ISS";
        QTest::newRow("seven characters") << path("SATGATE") << "path-not-a-path"
                                          << "warning"
                                          << "\"SATGATE\" has 7 characters; a callsign or alias "
                                             "has six at most";
        QTest::newRow("a parked set's RELAY")
            << parked([](ConfigSet &s) { s.path = QStringLiteral("RELAY,WIDE2-2"); })
            << "path-obsolete"
            << "note"
            << "Beacon TX is off, so the set sends nothing yet";
        QTest::newRow("a parked set's half minute")
            << parked([](ConfigSet &s) { s.interval = 0; }) << "beacon-fast"
            << "note"
            << "0.5 min floods the channel";
        QTest::newRow("a parked set's emergency")
            << parked([](ConfigSet &s) { s.comment = CommentEmergency; }) << "comment-emergency"
            << "note"
            << "";
        QTest::newRow("3 hops at 5 minutes, where they suit")
            << every("WIDE1-1,WIDE2-2", 4) << "beacon-rate-hops"
            << "note"
            << "3 hops at most once every 8 minutes";
        QTest::newRow("4 hops at 5 minutes") << every("WIDE2-2,WIDE2-2", 4) << "beacon-rate-hops"
                                             << ""
                                             << "";
        QTest::newRow("WIDE3-3 at 5 minutes") << every("WIDE3-3", 4) << "beacon-rate-hops"
                                              << "warning"
                                              << "";
        QTest::newRow("obsolete elements are not praised")
            << path("RELAY,TRACE2-2") << "path-three-hops"
            << ""
            << "";
        QTest::newRow("Emergency! for served agencies")
            << set1([](ConfigSet &s) { s.comment = CommentEmergency; }) << "comment-emergency"
            << "warning"
            << "\"I need help now\" and sets off alarms; for served-agency work use Priority or "
               "Special";
    }
    void stationsOfEveryKind()
    {
        QFETCH(Edit, edit);
        QFETCH(QString, id);
        QFETCH(QString, severity);
        QFETCH(QString, message);
        Configuration config = clean();
        edit(config);
        const QList<Finding> found = adviseOn(config);
        const auto named =
            std::find_if(found.begin(), found.end(), [&](const Finding &f) { return f.id == id; });
        if (severity.isEmpty()) {
            QVERIFY2(named == found.end(), qPrintable(said(found)));
            return;
        }
        QVERIFY2(named != found.end(), qPrintable(said(found)));
        QCOMPARE(severityName(named->severity), severity);
        QVERIFY2(named->message.contains(message), qPrintable(named->message));
    }

    void beaconsAndPositions_data()
    {
        findingColumns();
        QTest::newRow("half a minute")
            << set1([](ConfigSet &s) { s.interval = 0; }) << "beacon-fast"
            << "Set 1 beacon interval: 0.5 min";
        QTest::newRow("one minute, direct") << set1([](ConfigSet &s) {
            s.interval = 1;
            s.path.clear();
        }) << ""
                                            << "";
        QTest::newRow("fixed every 20 min") << Edit([](Configuration &c) {
            fixedAt(c, "12.34", "36.50");
            c.sets[0].interval = 6;
            c.sets[0].ssid = QStringLiteral("1");
        }) << "beacon-fixed-often"
                                            << "20 min for a fixed position";
        QTest::newRow("fixed every 5 min") << Edit([](Configuration &c) {
            fixedAt(c, "12.34", "36.50");
            c.sets[0].interval = 4;
            c.sets[0].ssid = QStringLiteral("1"); // no SSID advice for a fixed station
        }) << "beacon-fixed-often"
                                           << "fixed stations are asked for 30 minutes";
        QTest::newRow("a fixed station on an ISS pass every 2 min") << Edit([](Configuration &c) {
            fixedAt(c, "12.34", "36.50");
            c.sets[0].ssid = QStringLiteral("1");
            c.sets[0].path = QStringLiteral("ARISS");
            c.sets[0].interval = 2;
        }) << ""
                                                                    << "";
        QTest::newRow("every beacon off") << Edit([](Configuration &c) {
            for (ConfigSet &s : c.sets)
                s.beacon = false;
        }) << "beacon-all-off"
                                          << "off in every set";
        QTest::newRow("Emergency!")
            << set1([](ConfigSet &s) { s.comment = CommentEmergency; }) << "comment-emergency"
            << "\"Emergency!\"";
        QTest::newRow("position 0/0") << Edit([](Configuration &c) {
            fixedAt(c, "0.00", "00");
            c.sets[0].latDegrees = c.sets[0].lonDegrees = QStringLiteral("0");
            c.sets[0].ssid = QStringLiteral("1");
        }) << "position-zero"
                                      << "0\u00B000.00' N 0\u00B000.00' E";
        QTest::newRow("position 0/0, south and west") << Edit([](Configuration &c) {
            fixedAt(c, "0.00", "00");
            c.sets[0].latDegrees = c.sets[0].lonDegrees = QStringLiteral("0");
            c.sets[0].latHemisphere = c.sets[0].lonHemisphere = 1;
            c.sets[0].ssid = QStringLiteral("1");
        }) << "position-zero"
                                                      << "0\u00B000.00' S 0\u00B000.00' W";
        QTest::newRow("minutes of 60 or more") << Edit([](Configuration &c) {
            fixedAt(c, "97.151", "36.50");
            c.sets[0].ssid = QStringLiteral("1");
        }) << "position-out-of-range"
                                               << "latitude minutes \"97.151\"";
        QTest::newRow("longitude past 180") << Edit([](Configuration &c) {
            fixedAt(c, "12.34", "36.50");
            c.sets[0].lonDegrees = QStringLiteral("181");
            c.sets[0].ssid = QStringLiteral("1");
        }) << "position-out-of-range"
                                            << "longitude 181\u00B0";
        QTest::newRow("beacon without a position") << set1([](ConfigSet &s) {
            s.gps = false;
            s.ssid.clear();
        }) << "position-none"
                                                   << "neither GPS Used nor Prog Coord's";
        QTest::newRow("no position, no beacon") << set1([](ConfigSet &s) {
            s.gps = false;
            s.beacon = false;
        }) << ""
                                                << "";
        QTest::newRow("GPS and fixed") << Edit([](Configuration &c) {
            fixedAt(c, "12.34", "36.50");
            c.sets[0].gps = true;
        }) << "position-gps-and-fixed"
                                       << "Set 1 GPS Used: on together with Prog Coord's";
        QTest::newRow("minutes at Text3") << Edit([](Configuration &c) {
            fixedAt(c, "Text3", "36.50");
            c.sets[0].ssid = QStringLiteral("1");
        }) << "position-initial-text"
                                          << "latitude minutes: still the initial text \"Text3\"";
        QTest::newRow("minutes left empty") << Edit([](Configuration &c) {
            fixedAt(c, "12.34", "");
            c.sets[0].ssid = QStringLiteral("1");
        }) << "position-initial-text"
                                            << "longitude minutes: still empty";
        QTest::newRow("a set never touched")
            << Edit([](Configuration &c) { c.sets[3] = ConfigSet(); }) << "set-unused"
            << "Set 4 looks unused";
        QTest::newRow("a set an earlier version left") << Edit([](Configuration &c) {
            c.sets[3] = ConfigSet();
            c.sets[3].path = QStringLiteral("Text1");
            c.sets[3].latDegrees = c.sets[3].lonDegrees = QStringLiteral("Text2");
        }) << "set-unused"
                                                       << "Set 4 looks unused";
    }
    void beaconsAndPositions() { checkRow(); }

    // Neighbours where one check keeps quiet, whatever others say.
    void staysQuiet_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("id");
        QTest::newRow("a mobile on WIDE1-1,WIDE2-2 at 10 min") << Edit([](Configuration &c) {
            c.sets[0].path = QStringLiteral("WIDE1-1,WIDE2-2");
            c.sets[0].interval = 5;
        }) << "beacon-rate-hops";
        QTest::newRow("a suffix is not told twice")
            << Edit([](Configuration &c) { c.callsign = QStringLiteral("G4A/P"); })
            << "callsign-characters";
        QTest::newRow("a placeholder is not told it lacks a digit")
            << Edit([](Configuration &c) { c.callsign = QStringLiteral("NOCALL"); })
            << "callsign-no-digit";
        QTest::newRow("a directional path counts no hops")
            << Edit([](Configuration &c) { c.sets[0].path = QStringLiteral("15"); }) << "path-hops";
        QTest::newRow("one SSID finding for a fixed -9 with a house") << Edit([](Configuration &c) {
            fixedAt(c, "12.34", "36.50");
            c.sets[0].symbol = int(symbolNames().indexOf(QStringLiteral("Home")));
        }) << "ssid-symbol";
    }
    void staysQuiet()
    {
        QFETCH(Edit, edit);
        QFETCH(QString, id);
        Configuration config = clean();
        edit(config);
        for (const Finding &f : adviseOn(config))
            QVERIFY2(f.id != id, qPrintable(f.message));
    }

    // An erased memory, or its erased parts, are said once, and nothing of
    // what their bytes seem to hold.
    void erasedMemory_data()
    {
        QTest::addColumn<int>("from"); // the bytes of a clean image set to 0xFF
        QTest::addColumn<int>("to");
        QTest::addColumn<QList<int>>("sets");
        QTest::addColumn<QString>("message"); // empty: no finding at all
        QTest::newRow("all of it")
            << 0 << int(ImageSize) << QList<int>{0, 1, 2, 3, 4, 5} << "The memory looks erased";
        QTest::newRow("all but the callsign")
            << int(CallsignLength) << int(ImageSize) << QList<int>{0, 1, 2, 3, 4, 5}
            << "Sets 1 to 6 look erased: every byte is 0xFF, so they hold nothing";
        QTest::newRow("sets 3 to 6")
            << 46 << int(ImageSize) << QList<int>{2, 3, 4, 5} << "Sets 3 to 6 look erased";
        QTest::newRow("the callsign") << 0 << int(CallsignLength) << QList<int>{}
                                      << "The callsign looks erased: every byte is 0xFF, so it "
                                         "holds nothing; write a configuration to the device";
        QTest::newRow("one byte short of erased") << 1 << int(CallsignLength) << QList<int>{} << "";
    }
    void erasedMemory()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QList<int>, sets);
        QFETCH(QString, message);
        QByteArray image = encodeImage(clean());
        image.replace(from, to - from, QByteArray(to - from, char(0xFF)));
        const QList<Finding> found = adviseOn(*decodeImage(image));
        // An erased callsign is nothing to advise on; "1 byte short" is a
        // callsign of odd characters, which is.
        if (message.isEmpty()) {
            QVERIFY2(std::none_of(found.begin(), found.end(),
                                  [](const Finding &f) { return f.id == u"memory-erased"; }),
                     qPrintable(said(found)));
            return;
        }
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().id, QStringLiteral("memory-erased"));
        QVERIFY2(found.first().message.contains(message), qPrintable(found.first().message));
        QCOMPARE(found.first().sets, sets);
        QVERIFY(isWarning(found.first()));
    }

    // --json parses, and gives each finding's parts; the manual page lists every check.
    void jsonAndManual()
    {
        Configuration config = clean();
        config.sets[1].path = QStringLiteral("RELAY");
        const QJsonArray list = QJsonDocument::fromJson(findingsJson(adviseOn(config))).array();
        QCOMPARE(list.size(), 1);
        const QJsonObject f = list.first().toObject();
        QCOMPARE(f.value("id").toString(), QStringLiteral("path-obsolete"));
        QCOMPARE(f.value("set").toInt(), 2);
        QCOMPARE(f.value("field").toString(), QStringLiteral("path"));
        QCOMPARE(f.value("severity").toString(), QStringLiteral("warning"));
        QVERIFY(!f.value("why").toString().isEmpty());

        QFile manual(QStringLiteral(TAVLO_MANUAL));
        QVERIFY(manual.open(QIODevice::ReadOnly));
        const QString text =
            QString::fromUtf8(manual.readAll()).replace(QStringLiteral("\\-"), QStringLiteral("-"));
        for (const AdviceCheck &check : adviceChecks())
            QVERIFY2(text.contains(QLatin1String(check.id)) &&
                         text.contains(QLatin1String(check.source).left(20)),
                     check.id);
    }

    // Each check id has one row, in the order of the ids, with a stable name
    // of its own.
    void everyCheckHasARow()
    {
        QStringList names;
        for (int i = 0; i < adviceChecks().size(); ++i) {
            QCOMPARE(int(adviceChecks().at(i).check), i);
            names << QLatin1String(adviceChecks().at(i).id);
        }
        QCOMPARE(int(names.size()), int(CheckId::SetUnused) + 1);
        names.removeDuplicates();
        QCOMPARE(int(names.size()), adviceChecks().size());
    }
};

QTEST_GUILESS_MAIN(TestAdvice)
#include "tst_advice.moc"
