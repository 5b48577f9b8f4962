// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lists.h"

#include <QString>
#include <array>
#include <optional>

namespace tavlo {

// A list entry number; no value is a list with nothing chosen, which is the
// state of every list but the symbol names in a new window.
using Entry = std::optional<int>;

// One configuration set, holding exactly what the window shows for it. Every
// field is named after the control that shows it.
struct ConfigSet {
    QString ssid;
    bool beacon = false;
    bool gps = false;
    int symbol = 0;
    Entry symbolTable;
    Entry symbolCode;
    Entry comment;
    Entry interval;
    bool coordinates = false;
    QString latDegrees;
    QString latMinutes;
    Entry latHemisphere;
    QString lonDegrees;
    QString lonMinutes;
    Entry lonHemisphere;
    QString path;

    bool operator==(const ConfigSet &) const = default;
};

struct Configuration {
    QString callsign;
    std::array<ConfigSet, SetCount> sets;

    bool operator==(const Configuration &) const = default;
};

} // namespace tavlo
