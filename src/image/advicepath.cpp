// SPDX-License-Identifier: GPL-3.0-or-later
#include "adviser.h"

#include "displaytext.h"
#include "textnumber.h"

#include <QRegularExpression>

namespace tavlo {

namespace {

constexpr int LastWideNumber = 7; // numbered paths above it are directional

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
    if (text == u"RELAY" || text == u"ECHO" || text == u"GATE")
        return {text, Kind::Obsolete, 1};
    if (text == u"NOGATE" || text == u"RFONLY")
        return {text, Kind::Flag, 0};
    // The space station's digipeater answers ARISS and its call RS0ISS;
    // APRSAT is the alias for any satellite digipeater.
    if (text == u"ARISS" || text == u"RS0ISS" || text == u"APRSAT")
        return {text, Kind::Space, 0};
    if (numbered.match(text).hasMatch()) {
        const int n = text.toInt();
        return n <= LastWideNumber ? Hop{text, Kind::Numbered, n} : Hop{text, Kind::Directional, 0};
    }
    if (address.match(text).hasMatch())
        return {text, Kind::Address, 1};
    return {text, Kind::NotAnAddress, 0};
}

} // namespace

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

int hopsAsked(const QList<Hop> &hops)
{
    int total = 0;
    for (const Hop &hop : hops)
        total += hop.hops;
    return total;
}

void Adviser::path(int i, const ConfigSet &s)
{
    const QString where = QStringLiteral("Set %1 path: %2").arg(i + 1).arg(quoted(s.path));
    if (trimBlanks(s.path) == formerStart().path) {
        add(CheckId::PathNotAPath, i,
            where + QStringLiteral(" is the initial text of an earlier version, not a path; use "
                                   "WIDE1-1 or WIDE2-2, or leave it empty for no digipeaters"));
        return;
    }
    const QList<Hop> hops = readPath(s.path);
    int widest = 0; // the most hops one element asks for
    QString before; // a WIDE2-N or higher met so far
    bool obsolete = false;
    for (const Hop &hop : hops) {
        if (hop.kind == Hop::Kind::Wide || hop.kind == Hop::Kind::Numbered)
            widest = std::max(widest, hop.hops);
        obsolete = obsolete || isObsolete(hop);
        pathElement(i, where, hop, before);
        if (hop.kind == Hop::Kind::Wide && hop.hops >= 2 && before.isEmpty())
            before = hop.text;
    }
    const int total = hopsAsked(hops);
    if (const QString flying = airborne(s); !flying.isEmpty() && total >= 2)
        add(CheckId::PathAirborne, i,
            where + QStringLiteral(" asks for %1 hops from the air (%2); from above, a packet "
                                   "reaches many digipeaters at once: use no path, or WIDE1-1 "
                                   "at most")
                        .arg(total)
                        .arg(flying));
    else
        hopAdvice(i, where, total, widest, obsolete);
    spaceAdvice(i, where, hops);
}

bool isObsolete(const Hop &hop)
{
    using Kind = Hop::Kind;
    return hop.kind == Kind::Obsolete || hop.kind == Kind::BareWide ||
           hop.kind == Kind::BareTrace || hop.kind == Kind::Trace;
}

// What makes a set an airborne station's, in words; empty for one on the ground.
QString airborne(const ConfigSet &s)
{
    constexpr int AirborneSsid = 11;
    if (trimBlanks(s.ssid).toInt() == AirborneSsid)
        return QStringLiteral("SSID -11, a balloon's or aircraft's");
    if (symbolNames().value(s.symbol) == u"Aircraft")
        return QStringLiteral("an aircraft's symbol");
    if (s.symbol != SymbolOthers || s.symbolTable != SymbolTablePrimary || !s.symbolCode)
        return QString();
    const QString code = symbolCodes().value(*s.symbolCode);
    if (code == u"O")
        return QStringLiteral("a balloon's symbol, /O");
    if (code == u"g")
        return QStringLiteral("a glider's symbol, /g");
    if (!code.isEmpty() && QStringLiteral("'^X").contains(code))
        return QStringLiteral("an aircraft's symbol, /%1").arg(code);
    return QString();
}

void Adviser::pathElement(int i, const QString &where, const Hop &hop, const QString &before)
{
    using Kind = Hop::Kind;
    switch (hop.kind) {
    case Kind::NotAnAddress: {
        static const QRegularExpression tooLong(QStringLiteral("^([A-Z0-9]{7,})(-[0-9]+)?$"));
        if (const auto m = tooLong.match(hop.text); m.hasMatch())
            add(CheckId::PathNotAPath, i,
                where + QStringLiteral(": %1 has %2 characters; a callsign or alias has six at "
                                       "most")
                            .arg(quoted(hop.text))
                            .arg(m.capturedLength(1)));
        else
            add(CheckId::PathNotAPath, i,
                where + QStringLiteral(": %1 is not an upper-case callsign, alias or WIDEn-N")
                            .arg(quoted(hop.text)));
        break;
    }
    case Kind::Obsolete:
    case Kind::BareWide:
    case Kind::BareTrace:
    case Kind::Trace:
        add(CheckId::PathObsolete, i,
            where + QStringLiteral(" uses %1, which digipeaters stopped serving in 2004 (New-N "
                                   "paradigm); use WIDE1-1 or WIDE2-2")
                        .arg(hop.text));
        break;
    case Kind::Directional:
        add(CheckId::PathDirectional, i,
            where + QStringLiteral(" is a directional path (north, south, east or west), which "
                                   "digipeaters never served; use WIDE1-1 or WIDE2-2"));
        break;
    case Kind::Wide:
        if (hop.text == u"WIDE1-1" && !before.isEmpty())
            add(CheckId::PathWide1First, i,
                where + QStringLiteral(" has WIDE1-1 after %1; a fill-in digipeater only serves "
                                       "WIDE1-1 as the first unused element, so put it before %1")
                            .arg(before));
        break;
    default:
        break;
    }
}

// Too many hops in one element or in all is a warning; three in all, as the
// usual sparse-area mobile path has them, a note on where it fits.
void Adviser::hopAdvice(int i, const QString &where, int total, int widest, bool obsolete)
{
    constexpr int Wide = 3;
    if (widest >= Wide || total > Wide)
        add(CheckId::PathHops, i,
            where + QStringLiteral(" asks for %1 hops; most digipeaters serve 2 of an element at "
                                   "most: use WIDE2-2 (2 hops) or WIDE1-1 (1 hop)")
                        .arg(total));
    else if (total == Wide && !obsolete) // an obsolete element is warned of, not praised
        add(CheckId::PathThreeHops, i,
            where + QStringLiteral(" asks for 3 hops: it suits a mobile where digipeaters are "
                                   "sparse; where they are close, WIDE1-1 or WIDE2-2 reaches as "
                                   "far"));
}

// The space station's digipeater needs no help from the ground.
void Adviser::spaceAdvice(int i, const QString &where, const QList<Hop> &hops)
{
    const auto space = std::find_if(hops.begin(), hops.end(),
                                    [](const Hop &hop) { return hop.kind == Hop::Kind::Space; });
    if (space != hops.end() && hopsAsked(hops) > 0)
        add(CheckId::PathSpaceGround, i,
            where + QStringLiteral(" adds ground hops to %1; every ground digipeater that "
                                   "hears the space station would send it again: use %1 "
                                   "alone")
                        .arg(space->text));
}

} // namespace tavlo
