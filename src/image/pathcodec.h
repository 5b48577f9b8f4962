// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace tavlo {

inline constexpr int PathFieldLength = 11;

// The packet path as the image keeps it: the relay flag and the 11-byte field.
struct EncodedPath {
    bool relay = false;
    QByteArray field; // always PathFieldLength bytes

    bool operator==(const EncodedPath &) const = default;
};

// Replaces occurrences of `keyword` in `path` by the code 128 + code + digit.
void codeKeyword(QString &path, QStringView keyword, int code, int digitDefault, bool takesDigit,
                 int extraLength, bool digitRequired);

// Drops commas that touch a path code, from the left, up to the first one that does not.
void cutCommasAtCodes(QString &path);

// Encodes a typed path; blanks at its ends do not count.
EncodedPath encodePath(QStringView path);

// Whether two bytes of a path field stand for the same thing wherever they
// are: equal, or codes that differ only in bits their group does not read.
bool sameInPath(unsigned char a, unsigned char b);

// The path text that opening an image shows for a relay flag and a path field.
QString decodePath(bool relay, QByteArrayView field);

} // namespace tavlo
