// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <optional>

// The fixed selection lists of a configuration set. The image stores entry
// numbers (0-based positions), so the order of every list is binding.
namespace tavlo {

inline constexpr int SetCount = 6;
inline constexpr int CallsignLength = 6;

inline constexpr int SymbolCount = 16;       // ICO
inline constexpr int SymbolOthers = 15;      // the free symbol, chosen by table and code
inline constexpr int SymbolTableCount = 2;   // ICOT
inline constexpr int SymbolTablePrimary = 0; // "/"
inline constexpr int SymbolCodeCount = 96;   // ICOC
inline constexpr int SymbolCodeFirst = 33;   // entry k is the character 33 + k
// Entries 94 and 95 (codes 127 and 128) are listed but are no printable symbol codes.
inline constexpr int SymbolCodeUsable = 94;
inline constexpr int CommentCount = 8;     // POSCA
inline constexpr int CommentEmergency = 7; // "Emergency!"
inline constexpr int IntervalCount = 8;    // TXI
inline constexpr int HemisphereCount = 2;  // LAS, LOS

const QStringList &symbolNames();          // ICO
const QStringList &symbolTables();         // ICOT
const QStringList &symbolCodes();          // ICOC
const QStringList &positionComments();     // POSCA
const QStringList &beaconIntervals();      // TXI
const QStringList &latitudeHemispheres();  // LAS
const QStringList &longitudeHemispheres(); // LOS

// The entry a text names, blanks at its ends aside: the entry it is, or else
// the one entry it is in other capitals ("car" for "Car"; the symbol codes
// "a" and "A" are two entries, each itself).
std::optional<int> entryOfText(const QStringList &list, QStringView text);

} // namespace tavlo
