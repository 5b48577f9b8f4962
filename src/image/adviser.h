// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The parts of the advice that its source files share; not for callers.

#include "advice.h"

#include <QList>
#include <QString>

namespace tavlo {

// One element of a path, as digipeaters read it.
struct Hop {
    enum class Kind {
        Wide,
        Trace,
        BareWide,
        BareTrace,
        Obsolete,    // RELAY, ECHO, GATE
        Numbered,    // 1 to 7: WIDEn-N in a number
        Directional, // 8 to 15: north, south, east or west
        Space,       // ARISS, RS0ISS, APRSAT: a satellite's digipeater
        Flag,        // NOGATE, RFONLY: for the gates, no digipeater serves them
        Address,
        NotAnAddress
    };
    QString text;
    Kind kind = Kind::NotAnAddress;
    int hops = 0; // how many digipeaters it asks for
};

QList<Hop> readPath(const QString &path);

// RELAY, ECHO, GATE, a bare WIDE or TRACE, or TRACEn-N.
bool isObsolete(const Hop &hop);

// What makes a set an airborne station's (its SSID or symbol), in words;
// empty for a station on the ground.
QString airborne(const ConfigSet &s);

// How many digipeaters a path asks for in all.
int hopsAsked(const QList<Hop> &hops);

// The minutes an entry of the interval list stands for, from its text.
double intervalMinutes(int entry);

// The set a new window of earlier versions left: files saved then hold it.
ConfigSet formerStart();

class Adviser {
public:
    QList<Finding> findings;

    // A finding of a check in the table, about its field or the one given.
    void add(CheckId check, int set, const QString &message,
             std::optional<FieldId> field = std::nullopt);

    void callsign(const QString &typed);
    // Every check of one set; a set with Beacon TX off gets notes only.
    void set(int i, const ConfigSet &s);
    void unusedSets(const QList<int> &unused);
    void erasedSaid(const ErasedParts &erased);
    void ssid(int i, const ConfigSet &s);
    void path(int i, const ConfigSet &s);
    void beacon(int i, const ConfigSet &s);
    void position(int i, const ConfigSet &s);

private:
    void pathElement(int i, const QString &where, const Hop &hop, const QString &before);
    void hopAdvice(int i, const QString &where, int total, int widest, bool obsolete);
    void spaceAdvice(int i, const QString &where, const QList<Hop> &hops);
    void rateAdvice(int i, const ConfigSet &s, const QString &where, double minutes);
    void fixedPosition(int i, const ConfigSet &s, const QString &where);
    void symbolAdvice(int i, const ConfigSet &s, int ssid);
};

} // namespace tavlo
