// SPDX-License-Identifier: GPL-3.0-or-later
#include "fields.h"

#include "displaytext.h"

#include <stdexcept>

namespace tavlo {

const std::array<SetField, SetFieldCount> &setFields()
{
    static const std::array<SetField, SetFieldCount> fields{{
        {FieldId::Ssid, "ssid", "SSID", "SSID", "SSID", &ConfigSet::ssid},
        {FieldId::Beacon, "beacon", "Beacon TX", "Beacon TX", "Beacon TX", &ConfigSet::beacon},
        {FieldId::Gps, "gps", "GPS Used", "GPS Used", "GPS Used", &ConfigSet::gps},
        {FieldId::Symbol, "symbol", "symbol", "Symbol", "Symbol", &ConfigSet::symbol, &symbolNames},
        {FieldId::SymbolTable, "symbolTable", "symbol table", "Symbol table", "Symbol table",
         &ConfigSet::symbolTable, &symbolTables},
        {FieldId::SymbolCode, "symbolCode", "symbol code", "Symbol code", "Symbol code",
         &ConfigSet::symbolCode, &symbolCodes},
        {FieldId::Comment, "comment", "position comment", "Position comment", "Position comment",
         &ConfigSet::comment, &positionComments},
        {FieldId::Interval, "interval", "beacon interval", "Beacon interval", "Beacon interval",
         &ConfigSet::interval, &beaconIntervals},
        {FieldId::Coordinates, "coordinates", "Prog Coord's", "Prog Coord's", "Prog Coord's",
         &ConfigSet::coordinates},
        {FieldId::LatDegrees, "latDegrees", "latitude degrees", "Latitude degrees", "Latitude",
         &ConfigSet::latDegrees},
        {FieldId::LatMinutes, "latMinutes", "latitude minutes", "Latitude minutes", "Latitude",
         &ConfigSet::latMinutes},
        {FieldId::LatHemisphere, "latHemisphere", "latitude hemisphere", "Latitude hemisphere",
         "Latitude", &ConfigSet::latHemisphere, &latitudeHemispheres},
        {FieldId::LonDegrees, "lonDegrees", "longitude degrees", "Longitude degrees", "Longitude",
         &ConfigSet::lonDegrees},
        {FieldId::LonMinutes, "lonMinutes", "longitude minutes", "Longitude minutes", "Longitude",
         &ConfigSet::lonMinutes},
        {FieldId::LonHemisphere, "lonHemisphere", "longitude hemisphere", "Longitude hemisphere",
         "Longitude", &ConfigSet::lonHemisphere, &longitudeHemispheres},
        {FieldId::Path, "path", "path", "Path (digipeaters)", "Path", &ConfigSet::path},
    }};
    return fields;
}

const SetField *setFieldByKey(QStringView key)
{
    for (const SetField &field : setFields())
        if (key == QLatin1String(field.key))
            return &field;
    return nullptr;
}

const SetField &setField(FieldId id)
{
    for (const SetField &field : setFields())
        if (field.id == id)
            return field;
    throw std::out_of_range("no set field has this id");
}

QString fieldKey(FieldId id)
{
    return id == FieldId::Callsign ? QStringLiteral("callsign")
                                   : QString::fromLatin1(setField(id).key);
}

QList<std::pair<QString, QString>> shownLines(const ConfigSet &set)
{
    static const char *const order[] = {
        "SSID",         "Beacon TX",   "Beacon interval", "Position comment", "GPS Used",  "Symbol",
        "Symbol table", "Symbol code", "Prog Coord's",    "Latitude",         "Longitude", "Path"};
    QList<std::pair<QString, QString>> lines;
    for (const char *line : order) {
        QStringList values;
        for (const SetField &field : setFields())
            if (qstrcmp(field.line, line) == 0)
                values << shownValue(set, field);
        lines.append({QString::fromLatin1(line), values.join(u' ')});
    }
    return lines;
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
