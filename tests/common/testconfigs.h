// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"
#include "savecheck.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QStringList>

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

// Random sets that save, drawn again until the save checks take them.
class RandomSets {
public:
    explicit RandomSets(quint32 seed)
        : m_rng(seed)
    {
    }
    QRandomGenerator &rng() { return m_rng; }

    tavlo::ConfigSet savable()
    {
        for (;;) {
            tavlo::Configuration c;
            c.sets[0] = any();
            if (!saveProblem(c))
                return c.sets[0];
        }
    }

    tavlo::Configuration savableConfiguration()
    {
        tavlo::Configuration c;
        for (int k = m_rng.bounded(tavlo::CallsignLength + 1); k > 0; --k)
            c.callsign += QChar(32 + m_rng.bounded(95));
        for (tavlo::ConfigSet &s : c.sets)
            s = savable();
        return c;
    }

private:
    tavlo::ConfigSet any()
    {
        using namespace tavlo;
        ConfigSet s;
        s.ssid = m_rng.bounded(3) ? QString::number(m_rng.bounded(16)) : QStringLiteral(" ");
        s.beacon = m_rng.bounded(2);
        s.gps = m_rng.bounded(2);
        s.symbol = m_rng.bounded(SymbolCount);
        s.symbolTable = entry(SymbolTableCount);
        s.symbolCode = entry(SymbolCodeUsable);
        s.comment = entry(CommentCount);
        s.interval = entry(IntervalCount);
        s.coordinates = m_rng.bounded(2);
        s.latDegrees = decimal(90);
        s.latMinutes = decimal(60);
        s.latHemisphere = entry(HemisphereCount);
        s.lonDegrees = decimal(180);
        s.lonMinutes = decimal(60);
        s.lonHemisphere = entry(HemisphereCount);
        static const QStringList pathParts{"RELAY",    "WIDE",   "WIDE1-1", "WIDE7-7",  "TRACE",
                                           "TRACE3-3", "OK1",    "OE0",     "OM7",      "ECHO",
                                           "GATE",     "NOGATE", "IGATE",   "N0CALL-1", "AB",
                                           "X-3",      "7",      "12",      ",",        " "};
        for (int k = m_rng.bounded(5); k > 0; --k)
            s.path += (s.path.isEmpty() ? QString() : QStringLiteral(",")) +
                      pathParts.at(m_rng.bounded(pathParts.size()));
        if (m_rng.bounded(4) == 0) // blanks at the ends do not count
            s.path = u' ' + s.path + u' ';
        return s;
    }
    tavlo::Entry entry(int count)
    {
        return m_rng.bounded(4) == 0 ? tavlo::Entry() : tavlo::Entry(m_rng.bounded(count));
    }
    QString decimal(int whole)
    {
        return QString::number(m_rng.bounded(whole)) +
               (m_rng.bounded(2) ? QStringLiteral(".%1").arg(m_rng.bounded(1000)) : QString());
    }

    QRandomGenerator m_rng;
};

} // namespace testconfigs
