// SPDX-License-Identifier: GPL-3.0-or-later
#include "fields.h"

#include "displaytext.h"

#include <stdexcept>

namespace tavlo {

const std::array<SetField, SetFieldCount> &setFields()
{
    return SetFields;
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
    QList<std::pair<QString, QString>> lines;
    for (int rank = 0;; ++rank) {
        QString line;
        QStringList values;
        for (const SetField &field : SetFields)
            if (field.shownAt == rank) {
                line = QString::fromLatin1(field.line);
                // A position that Prog Coord's leaves off is not sent: the window greys it.
                if (set.coordinates || !needsCoordinates(field.id))
                    values << shownValue(set, field);
            }
        if (line.isEmpty())
            return lines;
        if (!values.isEmpty())
            lines.append({line, values.join(u' ')});
    }
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
