// SPDX-License-Identifier: GPL-3.0-or-later
#include "adviser.h"

#include "callparts.h"

#include "displaytext.h"
#include "image.h"
#include "lists.h"
#include "textnumber.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tavlo {

double intervalMinutes(int entry)
{
    return beaconIntervals().value(entry).trimmed().section(u' ', 0, 0).toDouble();
}

ConfigSet formerStart()
{
    ConfigSet s;
    s.latDegrees = s.lonDegrees = QStringLiteral("Text2");
    s.latMinutes = s.lonMinutes = QStringLiteral("Text3");
    s.path = QStringLiteral("Text1");
    return s;
}

namespace {

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

// What opening an erased memory (every byte 0xFF) gives.
const Configuration &erasedConfiguration()
{
    static const Configuration erased = [] {
        const Result<Configuration> opened = decodeImage(QByteArray(ImageReadSize, char(0xFF)));
        return opened ? *opened : Configuration();
    }();
    return erased;
}

// "The callsign and Set 3 look erased: ...", for a memory written in part.
QString partlyErased(const ErasedParts &erased)
{
    return QStringLiteral("%1 %2 erased: every byte is 0xFF, so %3 nothing; write a configuration "
                          "to the device")
        .arg(erased.named(), erased.one() ? QStringLiteral("looks") : QStringLiteral("look"),
             erased.one() ? QStringLiteral("it holds") : QStringLiteral("they hold"));
}

// What a map shows for a set's symbol, as far as the SSID customs go.
enum class Looks { Home, Vehicle, Other };

Looks symbolLooks(const ConfigSet &s)
{
    const QString name = symbolNames().value(s.symbol);
    if (name == u"Home")
        return Looks::Home;
    static const QStringList vehicles{
        QStringLiteral("Car"),   QStringLiteral("Jeep"), QStringLiteral("Motorcycle"),
        QStringLiteral("Truck"), QStringLiteral("Van"),  QStringLiteral("Recreation vehicle")};
    if (vehicles.contains(name))
        return Looks::Vehicle;
    // The free symbol from the primary table: "-" is a house, these are vehicles.
    if (s.symbol != SymbolOthers || s.symbolTable != SymbolTablePrimary || !s.symbolCode)
        return Looks::Other;
    const QString code = symbolCodes().value(*s.symbolCode);
    if (code == u"-")
        return Looks::Home;
    return QStringLiteral("><jkvRU").contains(code) ? Looks::Vehicle : Looks::Other;
}

} // namespace

void Adviser::add(CheckId id, int set, const QString &message, std::optional<FieldId> field)
{
    for (const AdviceCheck &check : adviceChecks()) {
        if (check.check != id)
            continue;
        Finding finding;
        finding.check = id;
        finding.id = QString::fromLatin1(check.id);
        finding.set = set;
        finding.field = field ? field : check.field;
        finding.severity = check.severity;
        finding.message = message;
        finding.why = QString::fromLatin1(check.reason);
        findings.append(finding);
        return;
    }
}

void Adviser::callsign(const QString &typed)
{
    const QString name = QStringLiteral("Callsign");
    // The image pads the callsign with blanks; they are no part of it.
    const QString call = trimBlanks(typed).toString();
    if (call.isEmpty()) {
        add(CheckId::CallsignEmpty, -1, name + QStringLiteral(": empty; every packet needs it"));
        return;
    }
    const QString upper = call.toUpper();
    // Digits and placeholders are looked for in the home call, not in a
    // prefix or suffix.
    const CallParts parts = splitCall(upper);
    const QString &base = parts.home;
    static const QStringList placeholders{QStringLiteral("N0CALL"), QStringLiteral("NOCALL"),
                                          QStringLiteral("MYCALL")};
    const bool hasDigit = std::any_of(base.begin(), base.end(),
                                      [](QChar c) { return c.isDigit() && c.unicode() < 128; });
    if (placeholders.contains(base))
        add(CheckId::CallsignPlaceholder, -1,
            QStringLiteral("%1: %2 is the example call of manuals; gates and servers drop it: "
                           "type your own")
                .arg(name, quoted(call)));
    else if (!hasDigit)
        add(CheckId::CallsignNoDigit, -1,
            QStringLiteral("%1: %2 has no digit, which every amateur call sign has; type your "
                           "licensed call")
                .arg(name, quoted(call)));
    if (call != upper)
        add(CheckId::CallsignLowercase, -1,
            QStringLiteral("%1: %2 has lower-case letters, which many digipeaters drop; type %3")
                .arg(name, quoted(call), quoted(upper)));
    if (parts.slashed())
        add(CheckId::CallsignSuffix, -1,
            QStringLiteral("%1: %2: %3").arg(name, quoted(call), plainCallAdvice(parts)));
    QString others;
    for (const QChar c : call)
        if (!(c.isDigit() && c.unicode() < 128) && !(c.isLetter() && c.unicode() < 128) &&
            c != u'/' && !others.contains(c))
            others += c;
    if (!others.isEmpty())
        add(CheckId::CallsignCharacters, -1,
            QStringLiteral("%1: %2 has characters other than letters and digits (%3)")
                .arg(name, quoted(call), quoted(others)));
}

void Adviser::ssid(int i, const ConfigSet &s)
{
    const QString where = QStringLiteral("Set %1 SSID").arg(i + 1);
    const QStringView typed = trimBlanks(s.ssid);
    const int number = typed.startsWith(u'-') ? typed.mid(1).toInt() : typed.toInt();
    // The image stores -0 as no SSID at all: a primary station's, usually
    // fixed, and right for one; only a set that clearly moves gets a note.
    if (number == 0) {
        if (s.beacon && s.gps)
            add(CheckId::SsidEmpty, i,
                where + QStringLiteral(": empty (or 0), a primary station's, on a set that takes "
                                       "its position from GPS; a station that moves customarily "
                                       "uses -9 (mobile), -7 (handheld) or -12 (one-way "
                                       "tracker)"));
        return;
    }
    const bool fixed = s.coordinates && !s.gps;
    if (fixed && (number == 7 || number == 9 || number == 12))
        add(CheckId::SsidUse, i,
            where + QStringLiteral(": -%1 is customary for a station that moves; a fixed "
                                   "position usually goes with none or -0")
                        .arg(number));
    else
        symbolAdvice(i, s, number);
}

void Adviser::symbolAdvice(int i, const ConfigSet &s, int ssid)
{
    constexpr int Mobile = 9;
    constexpr int Weather = 13;
    const Looks looks = symbolLooks(s);
    const QString where = QStringLiteral("Set %1 SSID: -%2").arg(i + 1).arg(ssid);
    if (ssid == Mobile && looks == Looks::Home)
        add(CheckId::SsidSymbol, i,
            where + QStringLiteral(" is a mobile's, but the symbol is a house; a home station "
                                   "uses none or -0, a mobile a vehicle's symbol"));
    else if (ssid == Weather && looks == Looks::Vehicle)
        add(CheckId::SsidSymbol, i,
            where + QStringLiteral(" is a weather station's, but the symbol is a vehicle; a "
                                   "mobile uses -9"));
}

void Adviser::beacon(int i, const ConfigSet &s)
{
    if (!s.interval)
        return;
    const QString where = QStringLiteral("Set %1 beacon interval: %2")
                              .arg(i + 1)
                              .arg(beaconIntervals().value(*s.interval).trimmed());
    // The thresholds are the numbers the advice says.
    constexpr double Fastest = 1;
    constexpr double FixedEvery = 30;
    const double minutes = intervalMinutes(*s.interval);
    if (minutes < Fastest) {
        add(CheckId::BeaconFast, i,
            where + QStringLiteral(" floods the channel; use 1 minute or more"));
        return;
    }
    rateAdvice(i, s, where, minutes);
    // A pass of the space station lasts minutes: beacons then are its point.
    const QList<Hop> hops = readPath(s.path);
    const bool space = std::any_of(hops.begin(), hops.end(),
                                   [](const Hop &hop) { return hop.kind == Hop::Kind::Space; });
    if (s.coordinates && !s.gps && minutes < FixedEvery && !space)
        add(CheckId::BeaconFixedOften, i,
            where + QStringLiteral(" for a fixed position; fixed stations are asked for 30 "
                                   "minutes or more"));
}

// Proportional Pathing: every hop doubles the time between packets.
void Adviser::rateAdvice(int i, const ConfigSet &s, const QString &where, double minutes)
{
    constexpr int MostHops = 3; // beyond it the path itself is the fault
    const int hops = hopsAsked(readPath(s.path));
    if (hops < 1 || hops > MostHops)
        return;
    const int every = 1 << hops;
    if (minutes >= every)
        return;
    QString enough;
    for (int k = 0; k < beaconIntervals().size() && enough.isEmpty(); ++k)
        if (intervalMinutes(k) >= every)
            enough = beaconIntervals().at(k).trimmed();
    add(CheckId::BeaconRateHops, i,
        where + QStringLiteral(" with a path of %1 %2 floods the channel; Proportional Pathing "
                               "sends over %1 %2 at most once every %3 minutes: use %4 or more")
                    .arg(hops)
                    .arg(hops == 1 ? QStringLiteral("hop") : QStringLiteral("hops"))
                    .arg(every)
                    .arg(enough));
    // A path the advice itself calls right where digipeaters are sparse is
    // not a fault at that rate there: a note, as the path's is.
    const bool sparse = std::any_of(findings.begin(), findings.end(), [i](const Finding &f) {
        return f.check == CheckId::PathThreeHops && f.set == i;
    });
    if (sparse)
        findings.last().severity = Severity::Note;
}

void Adviser::position(int i, const ConfigSet &s)
{
    const QString where = QStringLiteral("Set %1").arg(i + 1);
    if (s.comment == CommentEmergency)
        add(CheckId::CommentEmergency, i,
            where + QStringLiteral(" position comment: \"Emergency!\" tells every station that "
                                   "hears it \"I need help now\" and sets off alarms; for "
                                   "served-agency work use Priority or Special"));
    if (s.beacon && !s.gps && !s.coordinates)
        add(CheckId::PositionNone, i,
            where + QStringLiteral(" Beacon TX: on with neither GPS Used nor Prog Coord's, so "
                                   "there is no position to send; turn one of them on"),
            FieldId::Beacon);
    if (!s.coordinates)
        return;
    if (s.gps)
        add(CheckId::PositionGpsAndFixed, i,
            where + QStringLiteral(" GPS Used: on together with Prog Coord's; which position the "
                                   "device then sends is not documented, so turn one off"));
    // Empty as a new window leaves them, or the text earlier versions left.
    const auto untouched = [](const QString &minutes) {
        return trimBlanks(minutes).isEmpty() || minutes == formerStart().latMinutes;
    };
    if (const bool lat = untouched(s.latMinutes); lat || untouched(s.lonMinutes)) {
        const QString &minutes = lat ? s.latMinutes : s.lonMinutes;
        add(CheckId::PositionInitialText, i,
            where + QStringLiteral(" %1 minutes: %2; type the station's position")
                        .arg(lat ? u"latitude" : u"longitude",
                             minutes.isEmpty()
                                 ? QStringLiteral("still empty")
                                 : QStringLiteral("still the initial text %1 of an earlier "
                                                  "version")
                                       .arg(quoted(minutes))),
            lat ? FieldId::LatMinutes : FieldId::LonMinutes);
        return;
    }
    fixedPosition(i, s, where);
}

// Where a fixed position lies: beyond what APRS can say, or nowhere yet.
void Adviser::fixedPosition(int i, const ConfigSet &s, const QString &where)
{
    const QString lat = hemisphere(latitudeHemispheres(), s.latHemisphere);
    const QString lon = hemisphere(longitudeHemispheres(), s.lonHemisphere);
    if (const QString wrong = outOfRange(s); !wrong.isEmpty())
        add(CheckId::PositionOutOfRange, i,
            where + QStringLiteral(" coordinates: %1; an APRS position has minutes under 60, "
                                   "latitude up to 90\u00B0 and longitude up to 180\u00B0")
                        .arg(wrong));
    else if (isZero(s.latDegrees) && isZero(s.latMinutes) && isZero(s.lonDegrees) &&
             isZero(s.lonMinutes))
        add(CheckId::PositionZero, i,
            where + QStringLiteral(" coordinates: 0\u00B000.00' %1 0\u00B000.00' %2 is almost "
                                   "always a position never filled in; type the station's "
                                   "position")
                        .arg(lat, lon));
}

namespace {

// The parts that read as erased memory, or that the caller knows to be.
ErasedParts erasedIn(const Configuration &config, ErasedParts erased)
{
    erased.callsign = erased.callsign || config.callsign == erasedConfiguration().callsign;
    for (int i = 0; i < SetCount; ++i)
        erased.sets.at(i) = erased.sets.at(i) || config.sets[i] == erasedConfiguration().sets[0];
    return erased;
}

} // namespace

void Adviser::set(int i, const ConfigSet &s)
{
    const qsizetype before = findings.size();
    ssid(i, s);
    path(i, s);
    beacon(i, s);
    position(i, s);
    // A set with Beacon TX off sends nothing: what it would do wrong is
    // worth knowing before it is turned on, no more.
    if (s.beacon)
        return;
    for (qsizetype k = before; k < findings.size(); ++k) {
        Finding &f = findings[k];
        if (f.severity == Severity::Warning)
            f.message +=
                QStringLiteral(" (a note: Beacon TX is off, so the set sends nothing yet)");
        f.severity = Severity::Note;
    }
}

void Adviser::unusedSets(const QList<int> &unused)
{
    if (unused.isEmpty())
        return;
    add(CheckId::SetUnused, unused.size() == 1 ? unused.first() : -1,
        QStringLiteral("%1 %2 unused: %3 what a new window shows")
            .arg(setsNamed(unused),
                 unused.size() == 1 ? QStringLiteral("looks") : QStringLiteral("look"),
                 unused.size() == 1 ? QStringLiteral("it holds") : QStringLiteral("each holds")));
    findings.last().sets = unused;
}

void Adviser::erasedSaid(const ErasedParts &erased)
{
    const QList<int> sets = erased.setList();
    if (!erased.any())
        return;
    add(CheckId::MemoryErased, sets.size() == 1 ? sets.first() : -1, partlyErased(erased));
    findings.last().sets = sets;
}

QList<Finding> adviseOn(const Configuration &config, const ErasedParts &erased)
{
    Adviser adviser;
    const ErasedParts seen = erasedIn(config, erased);
    // What an erased memory seems to hold means nothing: one finding says so.
    if (seen.all()) {
        adviser.add(CheckId::MemoryErased, -1,
                    QStringLiteral("The memory looks erased: every byte is 0xFF, so the device "
                                   "holds no configuration; write one to it"));
        adviser.findings.last().sets = {0, 1, 2, 3, 4, 5};
        return adviser.findings;
    }
    if (!seen.callsign)
        adviser.callsign(config.callsign);
    bool anyBeacon = false;
    QList<int> unused;
    for (int i = 0; i < SetCount; ++i) {
        const ConfigSet &s = config.sets[i];
        if (seen.sets.at(i))
            continue; // a memory written only in part: these values mean nothing
        anyBeacon = anyBeacon || s.beacon;
        if (looksUnused(s))
            unused << i;
        else
            adviser.set(i, s);
    }
    adviser.unusedSets(unused);
    adviser.erasedSaid(seen);
    if (!anyBeacon && seen.setList().size() < SetCount)
        adviser.add(CheckId::BeaconAllOff, -1,
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
            {QStringLiteral("field"), f.field ? QJsonValue(fieldKey(*f.field)) : QJsonValue()},
            {QStringLiteral("severity"), severityName(f.severity)},
            {QStringLiteral("message"), f.message},
            {QStringLiteral("why"), f.why},
        });
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

} // namespace tavlo
