// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"
#include "savecheck.h"

#include <QByteArray>

// Configurations shared by the image tests.
namespace testconfigs {

// The first set of the documented worked example.
// The save problem of a configuration, if it has one.
inline std::optional<tavlo::SaveProblem> saveProblem(const tavlo::Configuration &config)
{
    const tavlo::Status<tavlo::SaveProblem> saveable = tavlo::checkSaveable(config);
    return saveable ? std::nullopt : std::optional(saveable.error());
}

inline tavlo::ConfigSet workedSet1()
{
    tavlo::ConfigSet s;
    s.ssid = QStringLiteral("9");
    s.beacon = true;
    s.symbol = 8; // Car
    s.symbolTable = 0;
    s.interval = 4;
    s.comment = 1;
    s.coordinates = true;
    s.latDegrees = QStringLiteral("49");
    s.latMinutes = QStringLiteral("12.34");
    s.latHemisphere = 0;
    s.lonDegrees = QStringLiteral("16");
    s.lonMinutes = QStringLiteral("36.50");
    s.lonHemisphere = 0;
    s.path = QStringLiteral("RELAY,WIDE2-2,TRACE3-3");
    return s;
}

// The second set of the worked example: free symbol "\" ">", coordinates off.
inline tavlo::ConfigSet workedSet2()
{
    tavlo::ConfigSet s;
    s.symbol = tavlo::SymbolOthers;
    s.symbolTable = 1;
    s.symbolCode = 29;
    s.interval = 0;
    s.gps = true;
    s.comment = 7;
    s.latHemisphere = 1;
    s.lonHemisphere = 1;
    s.path = QStringLiteral("3");
    return s;
}

// Callsign N0CALL, the two worked sets, and four sets as a new window has them.
inline tavlo::Configuration workedExample()
{
    tavlo::Configuration c;
    c.callsign = QStringLiteral("N0CALL");
    c.sets[0] = workedSet1();
    c.sets[1] = workedSet2();
    return c;
}

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
inline QByteArray blanks(int n)
{
    return QByteArray(n, ' ');
}

} // namespace testconfigs
