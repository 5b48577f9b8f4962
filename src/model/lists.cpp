// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists.h"

namespace tavlo {

const QStringList &symbolNames()
{
    static const QStringList names{
        QStringLiteral("KENWOOD"),
        QStringLiteral("Jogger"),
        QStringLiteral("Home"),
        QStringLiteral("Portable (tent)"),
        QStringLiteral("Yacht"),
        QStringLiteral("SSTV"),
        QStringLiteral("Aircraft"),
        QStringLiteral("Boat"),
        QStringLiteral("Car"),
        QStringLiteral("Motorcycle"),
        QStringLiteral("Triangle"),
        QStringLiteral("Jeep"),
        QStringLiteral("Recreation vehicle"),
        QStringLiteral("Truck"),
        QStringLiteral("Van"),
        QStringLiteral("OTHERS"),
    };
    return names;
}

const QStringList &symbolTables()
{
    static const QStringList tables{QStringLiteral("/"), QStringLiteral("\\")};
    return tables;
}

const QStringList &symbolCodes()
{
    static const QStringList codes = [] {
        QStringList list;
        for (int k = 0; k < SymbolCodeCount; ++k)
            list << QString(QChar(SymbolCodeFirst + k));
        return list;
    }();
    return codes;
}

const QStringList &positionComments()
{
    static const QStringList comments{
        QStringLiteral("Off Duty"),  QStringLiteral("Enroute"),    QStringLiteral("In Service"),
        QStringLiteral("Returning"), QStringLiteral("Commited"),   QStringLiteral("Special"),
        QStringLiteral("Priority"),  QStringLiteral("Emergency!"),
    };
    return comments;
}

const QStringList &beaconIntervals()
{
    static const QStringList intervals{
        QStringLiteral("0.5 min"), QStringLiteral("  1 min"), QStringLiteral("  2 min"),
        QStringLiteral("  3 min"), QStringLiteral("  5 min"), QStringLiteral(" 10 min"),
        QStringLiteral(" 20 min"), QStringLiteral(" 30 min"),
    };
    return intervals;
}

const QStringList &latitudeHemispheres()
{
    static const QStringList hemispheres{QStringLiteral("N"), QStringLiteral("S")};
    return hemispheres;
}

const QStringList &longitudeHemispheres()
{
    static const QStringList hemispheres{QStringLiteral("E"), QStringLiteral("W")};
    return hemispheres;
}

std::optional<int> entryOfText(const QStringList &list, QStringView text)
{
    const QStringView wanted = text.trimmed();
    std::optional<int> other;
    int others = 0;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QStringView entry = QStringView(list.at(i)).trimmed();
        if (entry == wanted)
            return int(i);
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0) {
            other = int(i);
            ++others;
        }
    }
    return others == 1 ? other : std::nullopt;
}

} // namespace tavlo
