// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"
#include "result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tavlo {

// One device's configuration: a row of the roster applied to the template.
struct RosterRow {
    int number = 0; // 1 for the first row under the header
    QString callsign;
    Configuration config;
    QByteArray image; // what the save checks accepted
};

// Applies every row of a table to the template: the first record is the
// header, naming the columns: "callsign", and "setN.KEY" with N from 1 to 6
// and KEY a key of the JSON form. A list's entry is its text as the window
// shows it, or its index ("#5", or a plain number that no entry reads); a
// flag is true/false, yes/no, on/off or 1/0; an empty cell keeps the
// template's value. Every row passes the save checks, or each that does not
// is named with its column, a line each.
// With `emptyClears`, an empty cell makes a text empty instead (a value
// typed on a command line, where nothing else says "empty").
Result<QList<RosterRow>> rowsFromTable(const Configuration &templ,
                                       const QList<QStringList> &records, bool emptyClears = false);

// Two rows that make one station (a callsign and the SSID of each set): one
// station twice on the air. Empty when there are none.
QString duplicateRows(const QList<RosterRow> &rows);

// The bits of an image template that no field holds (the end byte, the
// unused bits of each set) put into every row's image as the template holds
// them. Returns what opening and saving the template changes besides: bytes
// no field shows that every device gets as saving writes them.
QStringList keepTemplateBits(QList<RosterRow> &rows, const QByteArray &templ,
                             const Configuration &opened);

} // namespace tavlo
