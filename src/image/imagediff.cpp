// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagediff.h"

#include "configjson.h"
#include "displaytext.h"
#include "fields.h"
#include "image.h"
#include "pathcodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tavlo {

namespace {

// Which fields of which set differ: set 0 to 5, and SetCount for the callsign.
using ChangedFields = std::array<FieldMask, SetCount + 1>;

// The fields that two opened configurations hold differently, in the order
// of the JSON form.
QList<FieldChange> fieldChanges(const Configuration &ca, const Configuration &cb)
{
    const QJsonObject oa = QJsonDocument::fromJson(configurationToJson(ca)).object();
    const QJsonObject ob = QJsonDocument::fromJson(configurationToJson(cb)).object();
    QList<FieldChange> changes;
    const QLatin1String callsign("callsign");
    if (oa.value(callsign) != ob.value(callsign))
        changes.append({-1, FieldId::Callsign, callsign, quoted(ca.callsign), quoted(cb.callsign),
                        oa.value(callsign), ob.value(callsign)});
    const QJsonArray sa = oa.value(QLatin1String("sets")).toArray();
    const QJsonArray sb = ob.value(QLatin1String("sets")).toArray();
    for (int i = 0; i < SetCount; ++i) {
        const QJsonObject fa = sa.at(i).toObject();
        const QJsonObject fb = sb.at(i).toObject();
        for (const SetField &field : setFields()) {
            const QString key = QString::fromLatin1(field.key);
            if (fa.value(key) != fb.value(key))
                changes.append({i, field.id, key, shownValue(ca.sets[i], field),
                                shownValue(cb.sets[i], field), fa.value(key), fb.value(key)});
        }
    }
    return changes;
}

// The names of the differing bits of a byte that no changed field holds.
QStringList unshownBits(qint64 offset, int from, int to, const ChangedFields &changed)
{
    QStringList names;
    for (int bit = 0; bit < 8; ++bit) {
        if (from >= 0 && to >= 0 && !((from ^ to) >> bit & 1))
            continue;
        const ImageBit held = imageBit(offset, bit);
        const bool unread = held.code && sameInPath(quint8(from), quint8(to));
        const FieldMask shown = changed[held.set < 0 ? SetCount : held.set] & held.fields;
        if ((shown == 0 || unread) && !names.contains(held.name))
            names << held.name;
    }
    return names;
}

} // namespace

Result<ImageDiff> diffImages(const QByteArray &a, const QByteArray &b)
{
    const Result<Configuration> ca = decodeImage(a);
    if (!ca)
        return Result<ImageDiff>::failure(QStringLiteral("the first is ") + ca.error());
    const Result<Configuration> cb = decodeImage(b);
    if (!cb)
        return Result<ImageDiff>::failure(QStringLiteral("the second is ") + cb.error());
    ImageDiff diff;
    diff.fields = fieldChanges(*ca, *cb);
    ChangedFields changed{};
    for (const FieldChange &c : diff.fields)
        changed[c.set < 0 ? SetCount : c.set] |= fieldMask({c.id});
    for (qint64 offset = 0; offset < std::max(a.size(), b.size()); ++offset) {
        const int from = offset < a.size() ? static_cast<unsigned char>(a.at(offset)) : -1;
        const int to = offset < b.size() ? static_cast<unsigned char>(b.at(offset)) : -1;
        if (from == to)
            continue;
        if (const QStringList bits = unshownBits(offset, from, to, changed); !bits.isEmpty())
            diff.bytes.append({offset, from, to, bits});
    }
    return diff;
}

QStringList diffLines(const ImageDiff &diff)
{
    QStringList lines;
    for (const FieldChange &c : diff.fields) {
        const QString where = c.set < 0 ? QStringLiteral("Callsign")
                                        : QStringLiteral("Set %1 %2").arg(c.set + 1).arg(c.field);
        lines << QStringLiteral("%1: %2 -> %3").arg(where, c.shownFrom, c.shownTo);
    }
    auto byte = [](int value) {
        return value < 0 ? QStringLiteral("(none)")
                         : QStringLiteral("0x%1")
                               .arg(value, 2, 16, QLatin1Char('0'))
                               .toUpper()
                               .replace(QLatin1String("0X"), QLatin1String("0x"));
    };
    for (const ByteChange &c : diff.bytes)
        lines << QStringLiteral("Byte %1: %2 -> %3 (%4)")
                     .arg(c.offset)
                     .arg(byte(c.from), byte(c.to), c.bits.join(QLatin1String(", ")));
    return lines;
}

QByteArray diffJson(const ImageDiff &diff)
{
    QJsonArray fields;
    for (const FieldChange &c : diff.fields) {
        QJsonObject o{{QStringLiteral("field"), c.field},
                      {QStringLiteral("from"), c.from},
                      {QStringLiteral("to"), c.to}};
        o.insert(QStringLiteral("set"), c.set < 0 ? QJsonValue() : QJsonValue(c.set + 1));
        fields.append(o);
    }
    QJsonArray bytes;
    for (const ByteChange &c : diff.bytes)
        bytes.append(QJsonObject{{QStringLiteral("offset"), c.offset},
                                 {QStringLiteral("from"), c.from < 0 ? QJsonValue() : c.from},
                                 {QStringLiteral("to"), c.to < 0 ? QJsonValue() : c.to},
                                 {QStringLiteral("bits"), QJsonArray::fromStringList(c.bits)}});
    const QJsonObject root{{QStringLiteral("equal"), diff.isEmpty()},
                           {QStringLiteral("fields"), fields},
                           {QStringLiteral("bytes"), bytes}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace tavlo
