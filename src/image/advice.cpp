// SPDX-License-Identifier: GPL-3.0-or-later
#include "advice.h"

#include "displaytext.h"
#include "image.h"
#include "lists.h"
#include "textnumber.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace tavlo {

namespace {

const char NewN[] = "WB4APR, \"The New-N Paradigm\" (aprs.org/fix14439.html), 2004; NWAPRS, "
                    "\"Fill-in Digipeater Station Settings\" (nwaprs.info/fill-in.htm)";
const char Ax25[] = "AX.25 Link Access Protocol 2.2, section 3.12 (the address field: upper-case "
                    "letters and digits, SSID 0 to 15)";
const char Ssids[] = "WB4APR, \"APRS SSID recommendations\" (aprs.org/aprs11/SSIDs.txt)";
const char Window[] = "this program: the texts a new window shows";
const char Proportional[] =
    "WB4APR, \"Proportional Pathing\" (aprs.org/newN/ProportionalPathing.txt)";

// The one table of checks: the tool, the window, the tests and the manual
// page's CHECKS section follow it.
const AdviceCheck Checks[] = {
    {"callsign-empty", Severity::Warning, "callsign",
     "every packet carries the station's callsign; the device sends none", Ax25},
    {"callsign-lowercase", Severity::Warning, "callsign",
     "AX.25 addresses are upper case; many digipeaters drop a packet with lower-case letters",
     Ax25},
    {"callsign-characters", Severity::Warning, "callsign",
     "an AX.25 address holds only letters and digits", Ax25},
    {"ssid-empty", Severity::Note, "ssid",
     "none or -0 is a primary station, usually fixed; a set that takes its position from GPS "
     "moves, and a moving station customarily shows it in its SSID",
     Ssids},
    {"ssid-use", Severity::Note, "ssid",
     "SSIDs are customary by use: none or -0 home, -7 handheld, -9 mobile, -12 one-way "
     "tracker",
     Ssids},
    {"path-obsolete", Severity::Warning, "path",
     "RELAY, a bare WIDE and TRACE were dropped by digipeaters with the New-N paradigm in "
     "2004; their packets cause duplicates or go nowhere",
     NewN},
    {"path-hops", Severity::Warning, "path",
     "a WIDEn-N with N of 3 or more, or more than 3 hops in all, floods the region; most "
     "digipeaters serve two hops of an element at most",
     NewN},
    {"path-three-hops", Severity::Note, "path",
     "3 hops (WIDE1-1,WIDE2-2) suit a mobile where digipeaters are sparse, and only where 3 "
     "hops are acceptable; where they are close, 1 or 2 hops reach as far",
     Proportional},
    {"path-wide1-first", Severity::Warning, "path",
     "WIDE1-1 asks a fill-in digipeater for the first hop; after a WIDE2-N or higher it is "
     "never the first unused element a fill-in digipeater sees",
     NewN},
    {"path-not-a-path", Severity::Warning, "path",
     "each element of a path is an upper-case callsign or alias, or WIDEn-N", Ax25},
    {"beacon-fast", Severity::Warning, "interval",
     "a beacon more often than once a minute floods the shared channel; use 1 minute or more",
     "n0gud.net APRS guidelines; WB4APR, \"The New-N Paradigm\" (aprs.org/fix14439.html)"},
    {"beacon-fixed-often", Severity::Note, "interval",
     "a station that does not move is asked to beacon every 30 minutes or more",
     "n0gud.net APRS guidelines"},
    {"beacon-all-off", Severity::Note, "beacon",
     "a set sends its position only with Beacon TX on; with it off in every set the tracker "
     "sends nothing",
     "this program: Beacon TX of each set"},
    {"comment-emergency", Severity::Warning, "comment",
     "\"Emergency!\" is the Mic-E emergency status: every station that receives it raises "
     "an alarm",
     "APRS Protocol Reference 1.0.1, chapter 10 (Mic-E message codes)"},
    {"position-zero", Severity::Warning, "coordinates",
     "0 degrees 0 minutes is almost always a position that was never filled in",
     "APRS Protocol Reference 1.0.1, chapter 6 (positions)"},
    {"position-out-of-range", Severity::Warning, "coordinates",
     "an APRS position has minutes under 60, latitude up to 90 degrees and longitude up to 180",
     "APRS Protocol Reference 1.0.1, chapter 6 (positions)"},
    {"position-none", Severity::Warning, "beacon",
     "with Beacon TX on and neither GPS Used nor Prog Coord's, the set has no position to send",
     "this program: GPS Used and Prog Coord's are a set's two sources of a position"},
    {"position-gps-and-fixed", Severity::Note, "gps",
     "GPS Used and Prog Coord's both give a position; which one the device sends is not "
     "documented",
     "docs/image-format.md: the two flags are stored apart"},
    {"position-initial-text", Severity::Warning, "latMinutes",
     "Prog Coord's is on but the coordinates were never typed in: still empty, as a new window "
     "leaves them, or the initial text of an earlier version",
     Window},
    {"set-unused", Severity::Note, "",
     "the set holds what a new window shows: it was probably never filled in", Window},
};

} // namespace

const QList<AdviceCheck> &adviceChecks()
{
    static const QList<AdviceCheck> checks(std::begin(Checks), std::end(Checks));
    return checks;
}

namespace {

// One element of a path, as digipeaters read it.
struct Hop {
    enum class Kind {
        Wide,
        Trace,
        BareWide,
        BareTrace,
        Relay,
        Numbered,
        Flag,
        Address,
        NotAnAddress
    };
    QString text;
    Kind kind = Kind::NotAnAddress;
    int hops = 0; // how many digipeaters it asks for
};

Hop readHop(const QString &text)
{
    static const QRegularExpression numberedHop(QStringLiteral("^(WIDE|TRACE)([1-7])-([1-7])$"));
    static const QRegularExpression numbered(QStringLiteral("^([1-9]|1[0-5])$"));
    static const QRegularExpression address(QStringLiteral("^[A-Z0-9]{1,6}(-([0-9]|1[0-5]))?$"));
    using Kind = Hop::Kind;
    if (const auto m = numberedHop.match(text); m.hasMatch())
        return {text, m.captured(1) == u"WIDE" ? Kind::Wide : Kind::Trace, m.captured(3).toInt()};
    if (text == u"WIDE")
        return {text, Kind::BareWide, 1};
    if (text == u"TRACE")
        return {text, Kind::BareTrace, 1};
    if (text == u"RELAY")
        return {text, Kind::Relay, 1};
    // Flags for the gates between radio and internet: no digipeater serves them.
    if (text == u"NOGATE" || text == u"RFONLY")
        return {text, Kind::Flag, 0};
    if (numbered.match(text).hasMatch())
        return {text, Kind::Numbered, text.toInt()};
    if (address.match(text).hasMatch())
        return {text, Kind::Address, 1};
    return {text, Kind::NotAnAddress, 0};
}

QList<Hop> readPath(const QString &path)
{
    QList<Hop> hops;
    const QStringView trimmed = trimBlanks(path);
    if (trimmed.isEmpty())
        return hops;
    for (const QStringView part : trimmed.split(u','))
        hops << readHop(trimBlanks(part).toString());
    return hops;
}

// The minutes an entry of the interval list stands for, from its text.
double intervalMinutes(int entry)
{
    return beaconIntervals().value(entry).trimmed().section(u' ', 0, 0).toDouble();
}

// A hemisphere's letter as the set holds it, or "?" for none.
QString hemisphere(const QStringList &letters, const Entry &entry)
{
    return entry ? letters.value(*entry, QStringLiteral("?")) : QStringLiteral("?");
}

// What of a fixed position lies outside what APRS can say, or empty.
QString outOfRange(const ConfigSet &s)
{
    constexpr double Minutes = 60;
    constexpr double Latitude = 90;
    constexpr double Longitude = 180;
    const auto number = [](const QString &text) {
        const auto n = parsePlainDecimal(text);
        const auto hundredths = n ? scaledRounded(*n, 2, 100000000) : std::nullopt;
        return hundredths ? double(*hundredths) / 100 : 0.0;
    };
    QStringList wrong;
    if (number(s.latMinutes) >= Minutes)
        wrong << QStringLiteral("latitude minutes %1").arg(quoted(s.latMinutes));
    if (number(s.lonMinutes) >= Minutes)
        wrong << QStringLiteral("longitude minutes %1").arg(quoted(s.lonMinutes));
    if (number(s.latDegrees) + number(s.latMinutes) / Minutes > Latitude)
        wrong << QStringLiteral("latitude %1\u00B0").arg(s.latDegrees.trimmed());
    if (number(s.lonDegrees) + number(s.lonMinutes) / Minutes > Longitude)
        wrong << QStringLiteral("longitude %1\u00B0").arg(s.lonDegrees.trimmed());
    return wrong.join(QStringLiteral(", "));
}

bool isZero(const QString &text)
{
    const auto number = parsePlainDecimal(text);
    return number && scaledRounded(*number, 2, 1000000) == 0;
}

// Whether a set saves exactly as a set that nobody touched.
// The set a new window of earlier versions left: files saved then hold it.
ConfigSet formerStart()
{
    ConfigSet s;
    s.latDegrees = s.lonDegrees = QStringLiteral("Text2");
    s.latMinutes = s.lonMinutes = QStringLiteral("Text3");
    s.path = QStringLiteral("Text1");
    return s;
}

// What a new window shows, now or in an earlier version, as the image holds it.
bool looksUnused(const ConfigSet &set)
{
    static const QByteArray untouched = encodeImage(Configuration());
    static const QByteArray formerly = [] {
        Configuration c;
        c.sets[0] = formerStart();
        return encodeImage(c);
    }();
    Configuration touched;
    touched.sets[0] = set;
    const QByteArray image = encodeImage(touched);
    return image == untouched || image == formerly;
}

// "Set 3", "Sets 3 and 5", "Sets 3 to 6", "Sets 2, 4 and 6".
QString setsNamed(const QList<int> &sets)
{
    if (sets.size() == 1)
        return QStringLiteral("Set %1").arg(sets.first() + 1);
    if (sets.last() - sets.first() + 1 == sets.size() && sets.size() > 2)
        return QStringLiteral("Sets %1 to %2").arg(sets.first() + 1).arg(sets.last() + 1);
    QStringList numbers;
    for (int i : sets)
        numbers << QString::number(i + 1);
    const QString last = numbers.takeLast();
    return QStringLiteral("Sets %1 and %2").arg(numbers.join(QStringLiteral(", ")), last);
}

class Adviser {
public:
    QList<Finding> findings;

    // A finding of a check in the table, about its field or the one given.
    void add(const char *id, int set, const QString &message, const char *field = nullptr)
    {
        for (const AdviceCheck &check : adviceChecks()) {
            if (qstrcmp(check.id, id) != 0)
                continue;
            Finding finding;
            finding.id = QString::fromLatin1(id);
            finding.set = set;
            finding.field = QString::fromLatin1(field ? field : check.field);
            finding.severity = check.severity;
            finding.message = message;
            finding.why = QString::fromLatin1(check.reason);
            findings.append(finding);
            return;
        }
    }

    void callsign(const QString &typed)
    {
        const QString name = QStringLiteral("Callsign");
        // The image pads the callsign with blanks; they are no part of it.
        const QString call = trimBlanks(typed).toString();
        if (call.isEmpty()) {
            add("callsign-empty", -1, name + QStringLiteral(": empty; every packet needs it"));
            return;
        }
        if (call != call.toUpper())
            add("callsign-lowercase", -1,
                QStringLiteral("%1: %2 has lower-case letters, which many digipeaters drop; type "
                               "%3")
                    .arg(name, quoted(call), quoted(call.toUpper())));
        QString others;
        for (const QChar c : call)
            if (!(c.isDigit() && c.unicode() < 128) && !(c.isLetter() && c.unicode() < 128) &&
                !others.contains(c))
                others += c;
        if (!others.isEmpty())
            add("callsign-characters", -1,
                QStringLiteral("%1: %2 has characters other than letters and digits (%3)")
                    .arg(name, quoted(call), quoted(others)));
    }

    void ssid(int i, const ConfigSet &s)
    {
        const QString where = QStringLiteral("Set %1 SSID").arg(i + 1);
        const QStringView typed = trimBlanks(s.ssid);
        const int number = typed.startsWith(u'-') ? typed.mid(1).toInt() : typed.toInt();
        // The image stores -0 as no SSID at all: a primary station's, usually
        // fixed, and right for one; only a set that clearly moves gets a note.
        if (number == 0) {
            if (s.beacon && s.gps)
                add("ssid-empty", i,
                    where + QStringLiteral(": empty (or 0), a primary station's, on a set that "
                                           "takes its position from GPS; a station that moves "
                                           "customarily uses -9 (mobile), -7 (handheld) or -12 "
                                           "(one-way tracker)"));
            return;
        }
        const bool fixed = s.coordinates && !s.gps;
        if (fixed && (number == 7 || number == 9 || number == 12))
            add("ssid-use", i,
                where + QStringLiteral(": -%1 is customary for a station that moves; a fixed "
                                       "position usually goes with none or -0")
                            .arg(number));
    }

    void path(int i, const ConfigSet &s)
    {
        const QString where = QStringLiteral("Set %1 path: %2").arg(i + 1).arg(quoted(s.path));
        const QList<Hop> hops = readPath(s.path);
        const QString storable = QStringLiteral("use WIDE1-1 or WIDE2-2");
        if (trimBlanks(s.path) == formerStart().path) {
            add("path-not-a-path", i,
                where + QStringLiteral(" is the initial text of an earlier version, not a path; "
                                       "%1, or leave it empty for no digipeaters")
                            .arg(storable));
            return;
        }
        int total = 0;
        int widest = 0; // the most hops one element asks for
        QString before; // a WIDE2-N or higher met so far
        for (qsizetype k = 0; k < hops.size(); ++k) {
            const Hop &hop = hops[k];
            total += hop.hops;
            if (hop.kind == Hop::Kind::Wide || hop.kind == Hop::Kind::Numbered)
                widest = std::max(widest, hop.hops);
            using Kind = Hop::Kind;
            if (hop.kind == Kind::NotAnAddress)
                add("path-not-a-path", i,
                    where + QStringLiteral(": %1 is not an upper-case callsign, alias or WIDEn-N")
                                .arg(quoted(hop.text)));
            else if (hop.kind == Kind::Relay || hop.kind == Kind::BareWide ||
                     hop.kind == Kind::BareTrace || hop.kind == Kind::Trace)
                add("path-obsolete", i,
                    where + QStringLiteral(" uses %1, which digipeaters stopped serving in 2004 "
                                           "(New-N paradigm); %2")
                                .arg(hop.text, storable));
            else if (hop.kind == Kind::Wide && hop.text == u"WIDE1-1" && !before.isEmpty())
                add("path-wide1-first", i,
                    where + QStringLiteral(" has WIDE1-1 after %1; a fill-in digipeater only "
                                           "serves WIDE1-1 as the first unused element, so put "
                                           "it before %1")
                                .arg(before));
            if (hop.kind == Kind::Wide && hop.hops >= 2 && before.isEmpty())
                before = hop.text;
        }
        hopAdvice(i, where, total, widest);
    }

    // Too many hops in one element or in all is a warning; three in all, as
    // the usual sparse-area mobile path has them, a note on where it fits.
    void hopAdvice(int i, const QString &where, int total, int widest)
    {
        constexpr int Wide = 3;
        if (widest >= Wide || total > Wide)
            add("path-hops", i,
                where + QStringLiteral(" asks for %1 hops; most digipeaters serve 2 of an "
                                       "element at most: use WIDE2-2 (2 hops) or WIDE1-1 (1 hop)")
                            .arg(total));
        else if (total == Wide)
            add("path-three-hops", i,
                where + QStringLiteral(" asks for 3 hops: it suits a mobile where digipeaters "
                                       "are sparse; where they are close, WIDE1-1 or WIDE2-2 "
                                       "reaches as far"));
    }

    void beacon(int i, const ConfigSet &s)
    {
        if (!s.beacon || !s.interval)
            return;
        const QString where = QStringLiteral("Set %1 beacon interval: %2")
                                  .arg(i + 1)
                                  .arg(beaconIntervals().value(*s.interval).trimmed());
        // The thresholds are the numbers the advice says.
        constexpr double Fastest = 1;
        constexpr double FixedEvery = 30;
        const double minutes = intervalMinutes(*s.interval);
        if (minutes < Fastest)
            add("beacon-fast", i,
                where + QStringLiteral(" with Beacon TX on floods the channel; use 1 minute or "
                                       "more"));
        else if (s.coordinates && !s.gps && minutes < FixedEvery)
            add("beacon-fixed-often", i,
                where + QStringLiteral(" for a fixed position; fixed stations are asked for 30 "
                                       "minutes or more"));
    }

    void position(int i, const ConfigSet &s)
    {
        const QString where = QStringLiteral("Set %1").arg(i + 1);
        if (s.comment && *s.comment == positionComments().indexOf(QStringLiteral("Emergency!")))
            add("comment-emergency", i,
                where + QStringLiteral(" position comment: \"Emergency!\" sets off an alarm at "
                                       "every station that hears it; use it only in a real "
                                       "emergency"));
        if (s.beacon && !s.gps && !s.coordinates)
            add("position-none", i,
                where + QStringLiteral(" Beacon TX: on with neither GPS Used nor Prog Coord's, "
                                       "so there is no position to send; turn one of them on"),
                "beacon");
        if (!s.coordinates)
            return;
        if (s.gps)
            add("position-gps-and-fixed", i,
                where + QStringLiteral(" GPS Used: on together with Prog Coord's; which position "
                                       "the device then sends is not documented, so turn one "
                                       "off"));
        // Empty as a new window leaves them, or the text earlier versions left.
        const auto untouched = [](const QString &minutes) {
            return trimBlanks(minutes).isEmpty() || minutes == formerStart().latMinutes;
        };
        if (const bool lat = untouched(s.latMinutes); lat || untouched(s.lonMinutes)) {
            const QString &minutes = lat ? s.latMinutes : s.lonMinutes;
            add("position-initial-text", i,
                where + QStringLiteral(" %1 minutes: %2; type the station's position")
                            .arg(lat ? u"latitude" : u"longitude",
                                 minutes.isEmpty()
                                     ? QStringLiteral("still empty")
                                     : QStringLiteral("still the initial text %1 of an earlier "
                                                      "version")
                                           .arg(quoted(minutes))),
                lat ? "latMinutes" : "lonMinutes");
            return;
        }
        fixedPosition(i, s, where);
    }

    // Where a fixed position lies: beyond what APRS can say, or nowhere yet.
    void fixedPosition(int i, const ConfigSet &s, const QString &where)
    {
        const QString lat = hemisphere(latitudeHemispheres(), s.latHemisphere);
        const QString lon = hemisphere(longitudeHemispheres(), s.lonHemisphere);
        if (const QString wrong = outOfRange(s); !wrong.isEmpty())
            add("position-out-of-range", i,
                where + QStringLiteral(" coordinates: %1; an APRS position has minutes under 60, "
                                       "latitude up to 90\u00B0 and longitude up to 180\u00B0")
                            .arg(wrong));
        else if (isZero(s.latDegrees) && isZero(s.latMinutes) && isZero(s.lonDegrees) &&
                 isZero(s.lonMinutes))
            add("position-zero", i,
                where + QStringLiteral(" coordinates: 0\u00B000.00' %1 0\u00B000.00' %2 is "
                                       "almost always a position never filled in; type the "
                                       "station's position")
                            .arg(lat, lon));
    }
};

} // namespace

QList<Finding> adviseOn(const Configuration &config)
{
    Adviser adviser;
    adviser.callsign(config.callsign);
    bool anyBeacon = false;
    QList<int> unused;
    for (int i = 0; i < SetCount; ++i) {
        const ConfigSet &s = config.sets[i];
        anyBeacon = anyBeacon || s.beacon;
        if (looksUnused(s)) {
            unused << i;
            continue;
        }
        adviser.ssid(i, s);
        adviser.path(i, s);
        adviser.beacon(i, s);
        adviser.position(i, s);
    }
    if (!unused.isEmpty()) {
        adviser.add("set-unused", unused.size() == 1 ? unused.first() : -1,
                    QStringLiteral("%1 %2 unused: %3 what a new window shows")
                        .arg(setsNamed(unused),
                             unused.size() == 1 ? QStringLiteral("looks") : QStringLiteral("look"),
                             unused.size() == 1 ? QStringLiteral("it holds")
                                                : QStringLiteral("each holds")));
        adviser.findings.last().sets = unused;
    }
    if (!anyBeacon)
        adviser.add("beacon-all-off", -1,
                    QStringLiteral("Sets 1 to 6 Beacon TX: off in every set, so the tracker "
                                   "sends nothing"));
    return adviser.findings;
}

QString severityName(Severity severity)
{
    return severity == Severity::Warning ? QStringLiteral("warning") : QStringLiteral("note");
}

namespace {

// The sets a finding concerns, counted from 1.
QJsonArray setList(const Finding &f)
{
    QJsonArray sets;
    for (int i : f.sets)
        sets.append(i + 1);
    if (sets.isEmpty() && f.set >= 0)
        sets.append(f.set + 1);
    return sets;
}

} // namespace

bool isWarning(const Finding &finding)
{
    return finding.severity == Severity::Warning;
}

QByteArray findingsJson(const QList<Finding> &findings)
{
    QJsonArray list;
    for (const Finding &f : findings)
        list.append(QJsonObject{
            {QStringLiteral("id"), f.id},
            {QStringLiteral("set"), f.set < 0 ? QJsonValue() : QJsonValue(f.set + 1)},
            {QStringLiteral("sets"), setList(f)},
            {QStringLiteral("field"), f.field.isEmpty() ? QJsonValue() : QJsonValue(f.field)},
            {QStringLiteral("severity"), severityName(f.severity)},
            {QStringLiteral("message"), f.message},
            {QStringLiteral("why"), f.why},
        });
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

} // namespace tavlo
