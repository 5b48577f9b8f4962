// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "result.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace tavlo::cli {

// Splits CSV text into records of fields: a separator between (a comma, a
// semicolon or a tab, whichever the first line uses most), double quotes
// around a field that holds separators, quotes or line breaks ("" for a quote),
// lines ended by LF or CRLF, a UTF-8 byte order mark ignored.
Result<QList<QStringList>> parseCsv(const QByteArray &text);

} // namespace tavlo::cli
