// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"
#include "result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tavlo::cli {

// One device's configuration: a row of the roster applied to the template.
struct RosterRow {
    int number = 0; // 1 for the first row under the header
    QString callsign;
    Configuration config;
    QByteArray image; // what the save checks accepted
};

// Splits CSV text into records of fields: commas between, double quotes
// around a field that holds commas, quotes or line breaks ("" for a quote),
// lines ended by LF or CRLF, a UTF-8 byte order mark ignored.
Result<QList<QStringList>> parseCsv(const QByteArray &text);

// Applies every row of `csv` to the template. The header names the columns:
// "callsign", and "setN.KEY" with N from 1 to 6 and KEY a key of the JSON
// form. A list's entry is its index or its text as the window shows it; a
// flag is true/false, yes/no, on/off or 1/0; an empty cell keeps the
// template's value. Every row passes the save checks, or the first that does
// not is named with its column.
Result<QList<RosterRow>> readRoster(const Configuration &templ, const QByteArray &csv);

} // namespace tavlo::cli
