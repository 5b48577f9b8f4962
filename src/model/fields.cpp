// SPDX-License-Identifier: GPL-3.0-or-later
#include "fields.h"

#include "displaytext.h"

namespace tavlo {

const std::array<SetField, SetFieldCount> &setFields()
{
    static const std::array<SetField, SetFieldCount> fields{{
        {FieldId::Ssid, "ssid", "SSID", "SSID", &ConfigSet::ssid},
        {FieldId::Beacon, "beacon", "Beacon TX", "Beacon TX", &ConfigSet::BCN},
        {FieldId::Gps, "gps", "GPS Used", "GPS Used", &ConfigSet::GPS},
        {FieldId::Symbol, "symbol", "symbol", "Symbol", &ConfigSet::VSICO, &symbolNames},
        {FieldId::SymbolTable, "symbolTable", "symbol table", "Symbol table", &ConfigSet::ICOT,
         &symbolTables},
        {FieldId::SymbolCode, "symbolCode", "symbol code", "Symbol code", &ConfigSet::ICOC,
         &symbolCodes},
        {FieldId::Comment, "comment", "position comment", "Position comment", &ConfigSet::POSCA,
         &positionComments},
        {FieldId::Interval, "interval", "beacon interval", "Beacon interval", &ConfigSet::TXI,
         &beaconIntervals},
        {FieldId::Coordinates, "coordinates", "Prog Coord's", "Prog Coord's", &ConfigSet::CORDS},
        {FieldId::LatDegrees, "latDegrees", "latitude degrees", "Latitude degrees",
         &ConfigSet::LAD},
        {FieldId::LatMinutes, "latMinutes", "latitude minutes", "Latitude minutes",
         &ConfigSet::LAM},
        {FieldId::LatHemisphere, "latHemisphere", "latitude hemisphere", "Latitude hemisphere",
         &ConfigSet::LAS, &latitudeHemispheres},
        {FieldId::LonDegrees, "lonDegrees", "longitude degrees", "Longitude degrees",
         &ConfigSet::LOD},
        {FieldId::LonMinutes, "lonMinutes", "longitude minutes", "Longitude minutes",
         &ConfigSet::LOM},
        {FieldId::LonHemisphere, "lonHemisphere", "longitude hemisphere", "Longitude hemisphere",
         &ConfigSet::LOS, &longitudeHemispheres},
        {FieldId::Path, "path", "path", "Path (digipeaters)", &ConfigSet::PATH},
    }};
    return fields;
}

const SetField &setField(FieldId id)
{
    for (const SetField &field : setFields())
        if (field.id == id)
            return field;
    return setFields().back(); // FieldId::Callsign is no set field; callers do not ask
}

QString shownValue(const ConfigSet &set, const SetField &field)
{
    if (const auto *text = std::get_if<QString ConfigSet::*>(&field.member))
        return quoted(set.**text);
    if (const auto *flag = std::get_if<bool ConfigSet::*>(&field.member))
        return yesNo(set.**flag);
    if (const auto *number = std::get_if<int ConfigSet::*>(&field.member))
        return QStringLiteral("%1 %2").arg(set.**number).arg(entryText(set.**number, field.list()));
    return entryText(set.*std::get<Entry ConfigSet::*>(field.member), field.list());
}

} // namespace tavlo
