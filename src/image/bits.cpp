// SPDX-License-Identifier: GPL-3.0-or-later
#include "bits.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace tavlo {

namespace {

std::int32_t toInt32(double x)
{
    const double rounded = std::nearbyint(x); // default rounding: ties to even
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max()))
        throw BitOverflow("value does not fit a 32-bit signed integer");
    return static_cast<std::int32_t>(rounded);
}

} // namespace

double bitOf(double value, double bit)
{
    const double mask = std::pow(2.0, bit);
    const std::int32_t masked = toInt32(value) & toInt32(mask);
    // A mask below 1 rounds to 0 (and may itself be 0): the bit is clear.
    return masked == 0 ? 0.0 : masked / mask;
}

double bitsBetween(double value, double low, double high)
{
    double sum = 0;
    double k = low;
    // Bits below -1 have a mask that rounds to 0 and add nothing; skipping them
    // keeps a far-off low end from looping for ages.
    if (k < -1)
        k = low + std::ceil(-1 - low);
    for (; k <= high; k += 1)
        sum += bitOf(value, k) * std::pow(2.0, k - low);
    return sum;
}

} // namespace tavlo
