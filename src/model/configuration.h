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
    bool BCN = false;
    bool GPS = false;
    int VSICO = 0;
    Entry ICOT;
    Entry ICOC;
    Entry POSCA;
    Entry TXI;
    bool CORDS = false;
    QString LAD = QStringLiteral("Text2");
    QString LAM = QStringLiteral("Text3");
    Entry LAS;
    QString LOD = QStringLiteral("Text2");
    QString LOM = QStringLiteral("Text3");
    Entry LOS;
    QString PATH = QStringLiteral("Text1");

    bool operator==(const ConfigSet &) const = default;
};

struct Configuration {
    QString Calls;
    std::array<ConfigSet, SetCount> sets;

    bool operator==(const Configuration &) const = default;
};

} // namespace tavlo
