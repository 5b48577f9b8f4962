// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>

#include "result.h"

namespace tavlo {

// A field that two configurations hold differently. `shownFrom` and `shownTo`
// are the values as a person reads them (texts quoted, list entries by name,
// yes or no); `from` and `to` are the values of the JSON form.
struct FieldChange {
    int set = -1;  // 0..5, or -1 for the callsign
    QString field; // the key of the JSON form: "callsign", "path", ...
    QString shownFrom;
    QString shownTo;
    QJsonValue from;
    QJsonValue to;
};

// A byte that differs where every field decoded from it agrees (bits that
// opening ignores, the end byte, bytes after it). -1 for a byte one side lacks.
struct ByteChange {
    qint64 offset = 0;
    int from = -1;
    int to = -1;
};

struct ImageDiff {
    QList<FieldChange> fields;
    QList<ByteChange> bytes;
    bool isEmpty() const { return fields.isEmpty() && bytes.isEmpty(); }
};

// What differs between two images, as opening them would show it, set by set
// and field by field, then by byte. Both must be long enough to open.
Result<ImageDiff> diffImages(const QByteArray &a, const QByteArray &b);

// One line a change: `Set 2 path: "WIDE2-2" -> "RELAY,WIDE2-2"`, `Byte 126: 0x00 -> 0x01`.
QStringList diffLines(const ImageDiff &diff);

// {"equal": false, "fields": [...], "bytes": [...]}, one line.
QByteArray diffJson(const ImageDiff &diff);

} // namespace tavlo
