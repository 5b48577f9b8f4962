// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"

#include <QString>
#include <QStringList>
#include <array>
#include <initializer_list>
#include <variant>

// Every field of a configuration set in one table: its key in the JSON form,
// its name in messages and in show, its kind and where it lives. A new field
// is added here, in ConfigSet and in the image's layout (README).

namespace tavlo {

enum class FieldId {
    Callsign, // the one field outside the sets
    Ssid,
    Beacon,
    Gps,
    Symbol,
    SymbolTable,
    SymbolCode,
    Comment,
    Interval,
    Coordinates,
    LatDegrees,
    LatMinutes,
    LatHemisphere,
    LonDegrees,
    LonMinutes,
    LonHemisphere,
    Path,
};
inline constexpr int FieldIdCount = int(FieldId::Path) + 1; // Path stays last

// A set of field ids, one bit each: what a run of the image's bits holds.
using FieldMask = quint32;
constexpr FieldMask fieldMask(std::initializer_list<FieldId> ids)
{
    FieldMask mask = 0;
    for (const FieldId id : ids)
        mask |= FieldMask(1) << int(id);
    return mask;
}

struct SetField {
    FieldId id;
    const char *key;   // in the JSON form: "lonMinutes"
    const char *label; // in messages: "longitude minutes"
    const char *title; // for a person at the control: "Longitude minutes"
    const char *line;  // the line of show that holds it: "Longitude"
    int shownAt;       // where that line comes in show, from 0; the parts of a line share it
    // Where it lives, which is also its kind: a text, a flag, a number, or a
    // list entry with the list it chooses from (whose size bounds it).
    std::variant<QString ConfigSet::*, bool ConfigSet::*, int ConfigSet::*, Entry ConfigSet::*>
        member;
    const QStringList &(*list)() = nullptr;
    // For a flag: what its check box is for, beyond its caption.
    const char *purpose = nullptr;
};

inline constexpr int SetFieldCount = FieldIdCount - 1; // every id but the callsign's

// In the order of the ids, the callsign's left out: a field's row is at its
// id less one. The JSON form, diff, show, the save checks and the set frame
// read this table.
inline constexpr std::array<SetField, SetFieldCount> SetFields{{
    {FieldId::Ssid, "ssid", "SSID", "SSID", "SSID", 0, &ConfigSet::ssid},
    {FieldId::Beacon, "beacon", "Beacon TX", "Beacon TX", "Beacon TX", 1, &ConfigSet::beacon,
     nullptr, "The tracker sends its position"},
    {FieldId::Gps, "gps", "GPS Used", "GPS Used", "GPS Used", 4, &ConfigSet::gps, nullptr,
     "The tracker takes its position from the GPS receiver"},
    {FieldId::Symbol, "symbol", "symbol", "Symbol", "Symbol", 5, &ConfigSet::symbol, &symbolNames},
    {FieldId::SymbolTable, "symbolTable", "symbol table", "Symbol table", "Symbol table", 6,
     &ConfigSet::symbolTable, &symbolTables},
    {FieldId::SymbolCode, "symbolCode", "symbol code", "Symbol code", "Symbol code", 7,
     &ConfigSet::symbolCode, &symbolCodes},
    {FieldId::Comment, "comment", "position comment", "Position comment", "Position comment", 3,
     &ConfigSet::comment, &positionComments},
    {FieldId::Interval, "interval", "beacon interval", "Beacon interval", "Beacon interval", 2,
     &ConfigSet::interval, &beaconIntervals},
    {FieldId::Coordinates, "coordinates", "Prog Coord's", "Prog Coord's", "Prog Coord's", 8,
     &ConfigSet::coordinates, nullptr, "The set carries the fixed position typed beside it"},
    {FieldId::LatDegrees, "latDegrees", "latitude degrees", "Latitude degrees", "Latitude", 9,
     &ConfigSet::latDegrees},
    {FieldId::LatMinutes, "latMinutes", "latitude minutes", "Latitude minutes", "Latitude", 9,
     &ConfigSet::latMinutes},
    {FieldId::LatHemisphere, "latHemisphere", "latitude hemisphere", "Latitude hemisphere",
     "Latitude", 9, &ConfigSet::latHemisphere, &latitudeHemispheres},
    {FieldId::LonDegrees, "lonDegrees", "longitude degrees", "Longitude degrees", "Longitude", 10,
     &ConfigSet::lonDegrees},
    {FieldId::LonMinutes, "lonMinutes", "longitude minutes", "Longitude minutes", "Longitude", 10,
     &ConfigSet::lonMinutes},
    {FieldId::LonHemisphere, "lonHemisphere", "longitude hemisphere", "Longitude hemisphere",
     "Longitude", 10, &ConfigSet::lonHemisphere, &longitudeHemispheres},
    {FieldId::Path, "path", "path", "Path (digipeaters)", "Path", 11, &ConfigSet::path},
}};

// The fixed position's fields, which mean something only with Prog Coord's on.
constexpr bool needsCoordinates(FieldId id)
{
    return id == FieldId::LatDegrees || id == FieldId::LatMinutes || id == FieldId::LatHemisphere ||
           id == FieldId::LonDegrees || id == FieldId::LonMinutes || id == FieldId::LonHemisphere;
}

namespace fieldtable {
constexpr bool idsInOrder()
{
    for (int i = 0; i < SetFieldCount; ++i)
        if (int(SetFields[i].id) != i + 1)
            return false;
    return true;
}
// Show's lines in one run each, every place taken: 0 to the last, no gaps.
constexpr bool linesWhole()
{
    int last = -1;
    for (int rank = 0; rank < SetFieldCount; ++rank) {
        bool found = false;
        for (const SetField &f : SetFields)
            found = found || f.shownAt == rank;
        if (!found)
            break;
        last = rank;
    }
    for (const SetField &f : SetFields)
        if (f.shownAt < 0 || f.shownAt > last)
            return false;
    return true;
}
// Only flags have check boxes, and every flag says what it is for.
constexpr bool flagsHavePurposes()
{
    for (const SetField &f : SetFields)
        if (std::holds_alternative<bool ConfigSet::*>(f.member) != (f.purpose != nullptr))
            return false;
    return true;
}
} // namespace fieldtable
static_assert(fieldtable::idsInOrder(), "SetFields: a field's row is at its id less one");
static_assert(fieldtable::linesWhole(), "SetFields: show's lines are numbered 0 to the last");
static_assert(fieldtable::flagsHavePurposes(), "SetFields: a purpose for every flag, none else");

const std::array<SetField, SetFieldCount> &setFields();
// The row of a set field; FieldId::Callsign has none, and asking for it
// throws std::out_of_range.
const SetField &setField(FieldId id);
// The set field with this key of the JSON form; nullptr for none.
const SetField *setFieldByKey(QStringView key);

// The key of a field in the JSON form: "callsign", "lonMinutes".
QString fieldKey(FieldId id);

// A field's value as a person reads it: texts quoted, flags yes or no, list
// entries by name, the symbol by number and name.
QString shownValue(const ConfigSet &set, const SetField &field);

// A set for a person, line by line: the parts of a coordinate share a line,
// as they share a row in the window; without Prog Coord's there is none.
QList<std::pair<QString, QString>> shownLines(const ConfigSet &set);

} // namespace tavlo
