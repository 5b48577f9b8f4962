// SPDX-License-Identifier: GPL-3.0-or-later
#include "coordinate.h"

#include "displaytext.h"
#include "textnumber.h"

namespace tavlo {

namespace {

constexpr qint64 DegreeScale = 10000;
constexpr qint64 MinuteLimit = 6000; // hundredths of a minute

} // namespace

Result<qint64, CoordinateProblem> coordinateValue(QStringView degrees, QStringView minutes,
                                                  int maxDegrees, const QString &what)
{
    using Field = CoordinateProblem::Field;
    using Value = Result<qint64, CoordinateProblem>;
    const auto deg = parsePlainDecimal(degrees);
    // A sign is how maps write south and west; the image has a hemisphere.
    if (!deg && trimBlanks(degrees).startsWith(u'-') &&
        parsePlainDecimal(trimBlanks(degrees).mid(1)))
        return Value::failure(
            {Field::Degrees,
             QStringLiteral("%1 degrees %2 has a minus sign; type %3 and choose the %4 hemisphere")
                 .arg(what, quoted(degrees), quoted(trimBlanks(degrees).mid(1)),
                      what == u"latitude" ? QStringLiteral("S") : QStringLiteral("W"))});
    if (!deg)
        return Value::failure(
            {Field::Degrees,
             QStringLiteral("%1 degrees %2 is not a number").arg(what, quoted(degrees))});
    const auto min = parsePlainDecimal(minutes);
    if (!min)
        return Value::failure(
            {Field::Minutes,
             QStringLiteral("%1 minutes %2 is not a number").arg(what, quoted(minutes))});
    const auto hundredths = scaledRounded(*min, 2, MinuteLimit - 1);
    if (!hundredths)
        return Value::failure(
            {Field::Minutes,
             QStringLiteral("%1 minutes %2 must be below 60").arg(what, quoted(minutes))});
    const auto whole = scaledRounded(*deg, 0, maxDegrees);
    const qint64 limit = maxDegrees * DegreeScale;
    if (!whole || *whole * DegreeScale + *hundredths > limit)
        return Value::failure(
            {Field::Degrees,
             QStringLiteral("%1 %2 deg %3 min is beyond %4 deg 00.00 min")
                 .arg(what, printable(trimBlanks(degrees)), printable(trimBlanks(minutes)),
                      QString::number(maxDegrees))});
    return *whole * DegreeScale + *hundredths;
}

} // namespace tavlo
