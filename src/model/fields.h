// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"

#include <QString>
#include <QStringList>
#include <array>
#include <initializer_list>
#include <variant>

// Every field of a configuration set in one table: its key in the JSON form,
// its name in messages, its kind and where it lives. The JSON form, diff,
// show, the save checks and the set frame read this table; a new field is
// added here, in ConfigSet and in the image's layout.

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
    // Where it lives, which is also its kind: a text, a flag, a number, or a
    // list entry with the list it chooses from.
    std::variant<QString ConfigSet::*, bool ConfigSet::*, int ConfigSet::*, Entry ConfigSet::*>
        member;
    const QStringList &(*list)() = nullptr;
};

inline constexpr int SetFieldCount = FieldIdCount - 1; // every id but the callsign's
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
// as they share a row in the window.
QList<std::pair<QString, QString>> shownLines(const ConfigSet &set);

} // namespace tavlo
