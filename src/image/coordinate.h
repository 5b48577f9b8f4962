// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

#include "result.h"

namespace tavlo {

// Why a coordinate has no value, and which of its two texts is at fault.
struct CoordinateProblem {
    enum class Field { Degrees, Minutes };
    Field field = Field::Degrees;
    QString reason;
};

inline constexpr int LatitudeMaxDegrees = 90;
inline constexpr int LongitudeMaxDegrees = 180;

// The 21-bit coordinate value V = degrees * 10000 + minutes * 100, degrees
// rounded to a whole number and minutes to two decimals (halves up). `what`
// names the coordinate in a reason ("latitude").
Result<qint64, CoordinateProblem> coordinateValue(QStringView degrees, QStringView minutes,
                                                  int maxDegrees, const QString &what);

} // namespace tavlo
