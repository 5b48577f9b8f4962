// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include "fields.h"
#include "result.h"

namespace tavlo {

// A field that two configurations hold differently. `shownFrom` and `shownTo`
// are the values as a person reads them (texts quoted, list entries by name,
// yes or no); `from` and `to` are the values of the JSON form.
struct FieldChange {
    int set = -1; // 0..5, or -1 for the callsign
    FieldId id = FieldId::Callsign;
    QString field; // the key of the JSON form: "callsign", "path", ...
    QString shownFrom;
    QString shownTo;
    QJsonValue from;
    QJsonValue to;
};

// A byte with differing bits that no field shows: bits that opening
// ignores, bits of a field that opens the same from both, the end byte,
// bytes after it. -1 for a byte one side lacks. `bits` names those bits by
// the layout's names ("set 1 unused").
struct ByteChange {
    qint64 offset = 0;
    int from = -1;
    int to = -1;
    QStringList bits;
};

struct ImageDiff {
    QList<FieldChange> fields;
    QList<ByteChange> bytes;
    bool isEmpty() const { return fields.isEmpty() && bytes.isEmpty(); }
};

// What differs between two images, as opening them would show it, set by set
// and field by field, then by byte. Both must be long enough to open.
Result<ImageDiff> diffImages(const QByteArray &a, const QByteArray &b);

// One line a change: `Set 2 path: "WIDE2-2" -> "RELAY,WIDE2-2"`,
// `Byte 126: 0x00 -> 0x01 (end byte)`.
QStringList diffLines(const ImageDiff &diff);

// {"equal": false, "fields": [...], "bytes": [...]}, one line.
QByteArray diffJson(const ImageDiff &diff);

} // namespace tavlo
