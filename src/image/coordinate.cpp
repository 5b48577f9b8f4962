#include "coordinate.h"

#include "textnumber.h"

namespace tavlo {

namespace {

constexpr qint64 DegreeScale = 10000;
constexpr qint64 MinuteLimit = 6000; // hundredths of a minute

QString quoted(QStringView text)
{
    return u'"' + text.toString() + u'"';
}

} // namespace

CoordinateValue coordinateValue(QStringView degrees, QStringView minutes, int maxDegrees,
                                const QString &what)
{
    CoordinateValue result;
    const auto deg = parsePlainDecimal(degrees);
    if (!deg) {
        result.problem = CoordinateValue::Problem::Degrees;
        result.reason = QStringLiteral("%1 degrees %2 is not a number").arg(what, quoted(degrees));
        return result;
    }
    const auto min = parsePlainDecimal(minutes);
    if (!min) {
        result.problem = CoordinateValue::Problem::Minutes;
        result.reason = QStringLiteral("%1 minutes %2 is not a number").arg(what, quoted(minutes));
        return result;
    }
    const auto hundredths = scaledRounded(*min, 2, MinuteLimit - 1);
    if (!hundredths) {
        result.problem = CoordinateValue::Problem::Minutes;
        result.reason = QStringLiteral("%1 minutes %2 must be below 60").arg(what, quoted(minutes));
        return result;
    }
    const auto whole = scaledRounded(*deg, 0, maxDegrees);
    const qint64 limit = maxDegrees * DegreeScale;
    if (!whole || *whole * DegreeScale + *hundredths > limit) {
        result.problem = CoordinateValue::Problem::Degrees;
        result.reason = QStringLiteral("%1 %2 deg %3 min is beyond %4 deg 00.00 min")
                            .arg(what, trimBlanks(degrees).toString(),
                                 trimBlanks(minutes).toString(), QString::number(maxDegrees));
        return result;
    }
    result.value = *whole * DegreeScale + *hundredths;
    return result;
}

} // namespace tavlo
