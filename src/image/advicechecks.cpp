// SPDX-License-Identifier: GPL-3.0-or-later
#include "advice.h"

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
const char Positions[] = "APRS Protocol Reference 1.0.1, chapter 6 (positions)";
const char Callsigns[] = "K. Finnegan, \"APRS Callsigns\" (github.com/PhirePhly/aprs_notes, "
                         "callsigns.txt)";

// The one table of checks: the tool, the window, the tests and the manual
// page's CHECKS section follow it.
const AdviceCheck Checks[] = {
    {CheckId::MemoryErased, "memory-erased", Severity::Warning, std::nullopt,
     "every byte reads 0xFF, as an erased memory does: the device holds no configuration, and "
     "what its sets seem to say means nothing",
     "this program: the image format's blank byte"},
    {CheckId::CallsignEmpty, "callsign-empty", Severity::Warning, FieldId::Callsign,
     "every packet carries the station's callsign; the device sends none", Ax25},
    {CheckId::CallsignPlaceholder, "callsign-placeholder", Severity::Warning, FieldId::Callsign,
     "N0CALL, NOCALL and MYCALL are the examples of manuals, not a station; gates and servers "
     "drop their packets",
     Callsigns},
    {CheckId::CallsignNoDigit, "callsign-no-digit", Severity::Warning, FieldId::Callsign,
     "an amateur call sign has a digit after its prefix; a call without one is no licensed "
     "station's",
     "ITU Radio Regulations, article 19 (the form of amateur call signs)"},
    {CheckId::CallsignLowercase, "callsign-lowercase", Severity::Warning, FieldId::Callsign,
     "AX.25 addresses are upper case; many digipeaters drop a packet with lower-case letters",
     Ax25},
    {CheckId::CallsignSuffix, "callsign-suffix", Severity::Warning, FieldId::Callsign,
     "/P and /M are said on voice; an AX.25 address cannot hold them, and the SSID says what "
     "they say: -7 handheld, -9 mobile",
     Ssids},
    {CheckId::CallsignCharacters, "callsign-characters", Severity::Warning, FieldId::Callsign,
     "an AX.25 address holds only letters and digits", Ax25},
    {CheckId::SsidEmpty, "ssid-empty", Severity::Note, FieldId::Ssid,
     "none or -0 is a primary station, usually fixed; a set that takes its position from GPS "
     "moves, and a moving station customarily shows it in its SSID",
     Ssids},
    {CheckId::SsidUse, "ssid-use", Severity::Note, FieldId::Ssid,
     "SSIDs are customary by use: none or -0 home, -7 handheld, -9 mobile, -12 one-way "
     "tracker",
     Ssids},
    {CheckId::SsidSymbol, "ssid-symbol", Severity::Note, FieldId::Ssid,
     "the SSID and the symbol tell the same story: -9 is a mobile, -13 a weather station", Ssids},
    {CheckId::PathObsolete, "path-obsolete", Severity::Warning, FieldId::Path,
     "RELAY, ECHO, GATE, a bare WIDE and TRACE were dropped by digipeaters with the New-N "
     "paradigm in 2004; their packets cause duplicates or go nowhere",
     NewN},
    {CheckId::PathDirectional, "path-directional", Severity::Warning, FieldId::Path,
     "the numbered paths 8 to 15 ask for the north, south, east or west paths of the first "
     "digipeater; digipeaters never took them up, and the New-N paradigm serves WIDEn-N",
     "APRS Protocol Reference 1.0.1, chapter 4 (digipeater paths in the destination SSID); "
     "WB4APR, \"The New-N Paradigm\" (aprs.org/fix14439.html)"},
    {CheckId::PathHops, "path-hops", Severity::Warning, FieldId::Path,
     "a WIDEn-N with N of 3 or more, or more than 3 hops in all, floods the region; most "
     "digipeaters serve two hops of an element at most",
     NewN},
    {CheckId::PathThreeHops, "path-three-hops", Severity::Note, FieldId::Path,
     "3 hops (WIDE1-1,WIDE2-2) suit a mobile where digipeaters are sparse, and only where 3 "
     "hops are acceptable; where they are close, 1 or 2 hops reach as far",
     Proportional},
    {CheckId::PathWide1First, "path-wide1-first", Severity::Warning, FieldId::Path,
     "WIDE1-1 asks a fill-in digipeater for the first hop; after a WIDE2-N or higher it is "
     "never the first unused element a fill-in digipeater sees",
     NewN},
    {CheckId::PathSpaceGround, "path-space-ground", Severity::Note, FieldId::Path,
     "the space station's digipeater (ARISS, RS0ISS, or APRSAT for any satellite) is heard "
     "across a continent; ground hops after it make every ground digipeater under it send the "
     "packet again",
     "J. Langner, \"APRS Digipeater Algorithm\" (github.com/wb2osz/aprsspec), 2024: "
     "digipeaters act on the first unused element; AF6DS, \"APRS Packet Digipeating via the "
     "ISS\", 2009; WB4APR, the ARISS and PCsat notes (aprs.org): ARISS, RS0ISS and APRSAT as "
     "paths"},
    {CheckId::PathAirborne, "path-airborne", Severity::Warning, FieldId::Path,
     "from the air a packet reaches many digipeaters at once: a balloon or aircraft uses no "
     "path, or one hop at most; WIDE2-N from above floods a region",
     "WB4APR, \"APRS Digipeating and Path Selection 101\"; aprssig, \"Balloons abusing our "
     "network\", May 2016 (WB4APR: a balloon on WIDE1-1,WIDE2-1 is \"BAD\", one on a single "
     "hop \"just another local user\")"},
    {CheckId::PathNotAPath, "path-not-a-path", Severity::Warning, FieldId::Path,
     "each element of a path is an upper-case callsign or alias, or WIDEn-N", Ax25},
    {CheckId::BeaconFast, "beacon-fast", Severity::Warning, FieldId::Interval,
     "a beacon more often than once a minute floods the shared channel; use 1 minute or more",
     "n0gud.net APRS guidelines; WB4APR, \"The New-N Paradigm\" (aprs.org/fix14439.html)"},
    {CheckId::BeaconRateHops, "beacon-rate-hops", Severity::Warning, FieldId::Interval,
     "each hop multiplies a packet over a wider circle: send direct at most every minute, via 1 "
     "hop every 2, via 2 hops every 4, via 3 hops every 8 minutes",
     "WB4APR, \"Proportional Pathing\" (aprs.org/newN/ProportionalPathing.txt); WB4APR, \"The "
     "APRS ALOHA Circle Concept\" (aprs.org/aloha.html)"},
    {CheckId::BeaconFixedOften, "beacon-fixed-often", Severity::Note, FieldId::Interval,
     "a station that does not move is asked to beacon every 30 minutes or more",
     "n0gud.net APRS guidelines"},
    {CheckId::BeaconAllOff, "beacon-all-off", Severity::Note, FieldId::Beacon,
     "a set sends its position only with Beacon TX on; with it off in every set the tracker "
     "sends nothing",
     "this program: Beacon TX of each set"},
    {CheckId::CommentEmergency, "comment-emergency", Severity::Warning, FieldId::Comment,
     "\"Emergency!\" is the Mic-E emergency status: it means \"I need help now\", and every "
     "station that receives it raises an alarm; served-agency work uses Priority or Special",
     "APRS Protocol Reference 1.0.1, chapter 10 (Mic-E message codes)"},
    {CheckId::PositionZero, "position-zero", Severity::Warning, FieldId::Coordinates,
     "0 degrees 0 minutes is almost always a position that was never filled in", Positions},
    {CheckId::PositionOutOfRange, "position-out-of-range", Severity::Warning, FieldId::Coordinates,
     "an APRS position has minutes under 60, latitude up to 90 degrees and longitude up to 180",
     Positions},
    {CheckId::PositionNone, "position-none", Severity::Warning, FieldId::Beacon,
     "with Beacon TX on and neither GPS Used nor Prog Coord's, the set has no position to send",
     "this program: GPS Used and Prog Coord's are a set's two sources of a position"},
    {CheckId::PositionGpsAndFixed, "position-gps-and-fixed", Severity::Note, FieldId::Gps,
     "GPS Used and Prog Coord's both give a position; which one the device sends is not "
     "documented",
     "docs/image-format.md: the two flags are stored apart"},
    {CheckId::PositionInitialText, "position-initial-text", Severity::Warning, FieldId::LatMinutes,
     "Prog Coord's is on but the coordinates were never typed in: still empty, as a new window "
     "leaves them, or the initial text of an earlier version",
     Window},
    {CheckId::SetUnused, "set-unused", Severity::Note, std::nullopt,
     "the set holds what a new window shows: it was probably never filled in", Window},
};

} // namespace

const QList<AdviceCheck> &adviceChecks()
{
    static const QList<AdviceCheck> checks(std::begin(Checks), std::end(Checks));
    return checks;
}

} // namespace tavlo
