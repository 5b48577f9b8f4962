// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>
#include <optional>

namespace tavlo {

// The number at the start of a typed text: leading blanks skipped, then an
// optional sign, digits with one "." and an optional exponent, blanks inside
// the number skipped ("1 5" is 15). "." is the separator whatever the locale.
// A text that does not start with a number gives 0.
double leadingNumber(QStringView text);

// The text without the blanks (spaces) at its ends.
QStringView trimBlanks(QStringView text);

// A plain non-negative decimal number, after removing the blanks at its ends:
// digits with at most one "." and at least one digit.
struct PlainDecimal {
    QStringView whole;    // digits before the ".", may be empty
    QStringView fraction; // digits after the ".", may be empty
};
std::optional<PlainDecimal> parsePlainDecimal(QStringView text);

// The value of a plain decimal times 10^places, rounded half up to a whole
// number; no value when it would exceed `limit` (so huge inputs cannot overflow).
std::optional<qint64> scaledRounded(const PlainDecimal &number, int places, qint64 limit);

} // namespace tavlo
