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
    s.BCN = true;
    s.VSICO = 8; // Car
    s.ICOT = 0;
    s.TXI = 4;
    s.POSCA = 1;
    s.CORDS = true;
    s.LAD = QStringLiteral("49");
    s.LAM = QStringLiteral("12.34");
    s.LAS = 0;
    s.LOD = QStringLiteral("16");
    s.LOM = QStringLiteral("36.50");
    s.LOS = 0;
    s.PATH = QStringLiteral("RELAY,WIDE2-2,TRACE3-3");
    return s;
}

// The second set of the worked example: free symbol "\" ">", coordinates off.
inline tavlo::ConfigSet workedSet2()
{
    tavlo::ConfigSet s;
    s.VSICO = tavlo::SymbolOthers;
    s.ICOT = 1;
    s.ICOC = 29;
    s.TXI = 0;
    s.GPS = true;
    s.POSCA = 7;
    s.LAS = 1;
    s.LOS = 1;
    s.PATH = QStringLiteral("3");
    return s;
}

// Callsign N0CALL, the two worked sets, and four sets as a new window has them.
inline tavlo::Configuration workedExample()
{
    tavlo::Configuration c;
    c.Calls = QStringLiteral("N0CALL");
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
