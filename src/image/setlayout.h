// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bits.h"

#include <QByteArray>
#include <QtGlobal>
#include <array>

// Where each number of a set lives in its 20-byte block. Encoding and
// decoding both read this one table; docs/image-format.md shows it to people.

namespace tavlo {

// The numbers a set block holds, before they become the texts and choices of
// the window.
struct SetNumbers {
    int ssid = 0;          // 0 to 15
    int beacon = 0;        // Beacon TX
    int relay = 0;         // the path starts with RELAY
    int comment = 0;       // position comment, list entry
    int gps = 0;           // GPS Used
    int interval = 0;      // beacon interval, list entry
    int others = 0;        // symbol "OTHERS": symbolChar is a code, not a hex digit
    int symbolChar = 0;    // the symbol's character
    int symbolTable = 0;   // "/" or "\"
    int coordinates = 0;   // Prog Coord's
    int latHemisphere = 0; // N or S
    int latitude = 0;      // degrees * 10000 + minutes * 100
    int latBlank = 0;      // set, with latitude 0x2020, when there are no coordinates
    int lonHemisphere = 0; // E or W
    int longitude = 0;
    int lonBlank = 0;
    QByteArray path; // the 11-byte path field
};

// A run of bits in a big-endian word of `bytes` bytes that starts at `byte`.
struct BitField {
    int SetNumbers::*number;
    int byte;
    int bytes;
    int low;
    int width;
};

inline constexpr int SetPathOffset = 9;

inline constexpr std::array<BitField, 16> SetLayout{{
    {&SetNumbers::ssid, 0, 1, 0, 4},
    {&SetNumbers::beacon, 0, 1, 6, 1},
    {&SetNumbers::relay, 0, 1, 7, 1},
    {&SetNumbers::comment, 1, 1, 0, 3},
    {&SetNumbers::gps, 1, 1, 3, 1},
    {&SetNumbers::interval, 1, 1, 4, 3},
    {&SetNumbers::others, 1, 1, 7, 1},
    {&SetNumbers::symbolChar, 2, 1, 0, 7},
    {&SetNumbers::symbolTable, 2, 1, 7, 1},
    {&SetNumbers::latitude, 3, 3, 0, 21},
    {&SetNumbers::latBlank, 3, 3, 21, 1},
    {&SetNumbers::latHemisphere, 3, 3, 22, 1},
    {&SetNumbers::coordinates, 3, 3, 23, 1},
    {&SetNumbers::longitude, 6, 3, 0, 21},
    {&SetNumbers::lonBlank, 6, 3, 21, 1},
    {&SetNumbers::lonHemisphere, 6, 3, 22, 1},
}};

// The block of a set's numbers, and the numbers in a block (at least
// SetBlockSize bytes from `block`).
QByteArray packSet(const SetNumbers &numbers);
SetNumbers unpackSet(const unsigned char *block);

} // namespace tavlo
