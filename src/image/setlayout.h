// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bits.h"
#include "configuration.h"
#include "fields.h"
#include "pathcodec.h"

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <variant>

// Where each number of a set lives in its 20-byte block. Encoding and
// decoding both read this one table, and so does diff, to tell which field a
// differing bit belongs to; docs/image-format.md shows it to people.

namespace tavlo {

// The numbers a set block holds that are no field of a set as they stand:
// the window's texts and choices are made from them.
struct SetNumbers {
    int ssid = 0;       // 0 to 15
    int relay = 0;      // the path starts with RELAY
    int others = 0;     // symbol "OTHERS": symbolChar is a code, not a hex digit
    int symbolChar = 0; // the symbol's character
    int latitude = 0;   // degrees * 10000 + minutes * 100
    int latBlank = 0;   // set, with latitude 0x2020, when there are no coordinates
    int longitude = 0;
    int lonBlank = 0;
    QByteArray path; // the 11-byte path field
};

// What a run of bits is stored from: a field of the set as it stands (a flag,
// a list entry), a number made for the image, or nothing.
using StoredFrom =
    std::variant<std::monostate, bool ConfigSet::*, Entry ConfigSet::*, int SetNumbers::*>;

// A run of bits in a big-endian word of `bytes` bytes that starts at `byte`:
// its name, what it is stored from and the fields opening shows from it
// (none for bits opening ignores).
struct BitField {
    const char *name;
    StoredFrom from;
    int byte;
    int bytes;
    int low;
    int width;
    FieldMask fields;
};

inline constexpr int SetBlockSize = 20;
inline constexpr int SetPathOffset = 9;
inline constexpr int PathBits = PathFieldLength * 8;

// Every bit of a set block, once. The path field, eleven bytes from
// SetPathOffset, is a run of characters and codes rather than a number.
inline constexpr auto SetLayout = std::to_array<BitField>({
    {"SSID", &SetNumbers::ssid, 0, 1, 0, 4, fieldMask({FieldId::Ssid})},
    {"unused", {}, 0, 1, 4, 2, 0},
    {"Beacon TX", &ConfigSet::beacon, 0, 1, 6, 1, fieldMask({FieldId::Beacon})},
    {"RELAY", &SetNumbers::relay, 0, 1, 7, 1, fieldMask({FieldId::Path})},
    {"position comment", &ConfigSet::comment, 1, 1, 0, 3, fieldMask({FieldId::Comment})},
    {"GPS Used", &ConfigSet::gps, 1, 1, 3, 1, fieldMask({FieldId::Gps})},
    {"beacon interval", &ConfigSet::interval, 1, 1, 4, 3, fieldMask({FieldId::Interval})},
    {"OTHERS", &SetNumbers::others, 1, 1, 7, 1, fieldMask({FieldId::Symbol})},
    {"symbol character", &SetNumbers::symbolChar, 2, 1, 0, 7,
     fieldMask({FieldId::Symbol, FieldId::SymbolCode})},
    {"symbol table", &ConfigSet::symbolTable, 2, 1, 7, 1, fieldMask({FieldId::SymbolTable})},
    {"latitude", &SetNumbers::latitude, 3, 3, 0, 21,
     fieldMask({FieldId::LatDegrees, FieldId::LatMinutes})},
    {"latitude blank mark", &SetNumbers::latBlank, 3, 3, 21, 1, 0},
    {"latitude hemisphere", &ConfigSet::latHemisphere, 3, 3, 22, 1,
     fieldMask({FieldId::LatHemisphere})},
    {"Prog Coord's", &ConfigSet::coordinates, 3, 3, 23, 1, fieldMask({FieldId::Coordinates})},
    {"longitude", &SetNumbers::longitude, 6, 3, 0, 21,
     fieldMask({FieldId::LonDegrees, FieldId::LonMinutes})},
    {"longitude blank mark", &SetNumbers::lonBlank, 6, 3, 21, 1, 0},
    {"longitude hemisphere", &ConfigSet::lonHemisphere, 6, 3, 22, 1,
     fieldMask({FieldId::LonHemisphere})},
    {"unused", {}, 6, 3, 23, 1, 0},
    {"path", {}, SetPathOffset, PathFieldLength, 0, PathBits, fieldMask({FieldId::Path})},
});

// The row that holds bit `bit` (0 to 7) of byte `offset` of a set block.
const BitField &setBitField(int offset, int bit);

// The block of a set, from its fields and the numbers made from them; and
// the numbers in a block (at least SetBlockSize bytes from `block`), with
// the fields stored as they stand put into `set`.
QByteArray packSet(const ConfigSet &set, const SetNumbers &numbers);
SetNumbers unpackSet(const unsigned char *block, ConfigSet &set);

} // namespace tavlo
