// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"
#include "setlayout.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <optional>

#include "result.h"

namespace tavlo {

inline constexpr int ImageSize = 127;
// Opening reads the callsign and the six blocks; the end byte carries nothing.
inline constexpr int ImageReadSize = CallsignLength + SetCount * SetBlockSize;

// What bit `bit` of byte `offset` of an image holds: its set (-1 outside
// the sets), the fields opening shows from it (none for bits opening
// ignores) and its name for a person ("set 2 unused", "end byte").
struct ImageBit {
    int set = -1;
    FieldMask fields = 0;
    QString name;
    bool code = false; // a byte of a path field, which reads some bits only in some codes
};
ImageBit imageBit(qint64 offset, int bit);

// The 127-byte image of a configuration. The configuration must have passed
// findSaveProblem(); values it would refuse are not guarded here.
QByteArray encodeImage(const Configuration &config);

// `image` with the bits that nothing stores (the unused bits of each set
// block, the end byte) as `from` holds them: images made from a template
// keep what the template holds there.
QByteArray withUnusedBitsOf(QByteArray image, QByteArrayView from);

// The parts of an image that read as erased memory, every byte 0xFF: what
// opening them gives means nothing.
struct ErasedParts {
    bool callsign = false;
    std::array<bool, SetCount> sets{};
    bool all() const;
    bool any() const;
    QList<int> setList() const; // the erased sets, 0 for set 1
    // "The callsign and Sets 3 to 6", "Set 2"; one() when that is one thing.
    QString named() const;
    bool one() const;
};
ErasedParts erasedParts(QByteArrayView image);
// The configuration with its erased parts as a new window has them: an empty
// callsign, blank sets.
Configuration withoutErased(Configuration config, const ErasedParts &erased);

// What opening an image puts into the window. Fewer than ImageReadSize bytes
// are refused; bytes after them are ignored.
Result<Configuration> decodeImage(QByteArrayView image);

} // namespace tavlo
