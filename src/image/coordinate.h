#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace tavlo {

// The 21-bit coordinate value V = degrees * 10000 + minutes * 100, degrees
// rounded to a whole number and minutes to two decimals (halves up).
struct CoordinateValue {
    enum class Problem { None, Degrees, Minutes };
    qint64 value = 0;
    Problem problem = Problem::None;
    QString reason; // what is wrong, when problem is not None
};

inline constexpr int LatitudeMaxDegrees = 90;
inline constexpr int LongitudeMaxDegrees = 180;

// `what` names the coordinate in a reason ("latitude").
CoordinateValue coordinateValue(QStringView degrees, QStringView minutes, int maxDegrees,
                                const QString &what);

} // namespace tavlo
