// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <stdexcept>

namespace tavlo {

// Raised when a value or a bit mask does not fit a 32-bit signed integer.
class BitOverflow : public std::overflow_error {
public:
    using std::overflow_error::overflow_error;
};

// 1 if bit number `bit` of `value` is set, else 0. Both are rounded to 32-bit
// signed integers (ties to even) before the bitwise and; throws BitOverflow
// from bit 31 on and for values outside the 32-bit signed range.
double bitOf(double value, double bit);

// The bits `low` to `high` of `value`, shifted down so that bit `low` becomes
// bit 0; 0 when low > high. Throws BitOverflow as bitOf does.
double bitsBetween(double value, double low, double high);

// Plain integer bit work, for the image's layout.
// The value of the bits `low` to `low + width - 1` of `word`.
constexpr quint32 bitsOf(quint32 word, int low, int width)
{
    return (word >> low) & ((quint32(1) << width) - 1);
}

// `word` with those bits replaced by `value`, cut to their width.
constexpr quint32 withBits(quint32 word, int low, int width, quint32 value)
{
    const quint32 mask = ((quint32(1) << width) - 1) << low;
    return (word & ~mask) | ((value << low) & mask);
}

} // namespace tavlo
