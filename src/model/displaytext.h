// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace tavlo {

// Texts that come from files, devices or the command line, made fit to show
// a person in a message or on a terminal: control characters and NUL are
// written as escapes (\0, \n, \e, \x7f), so an image cannot retitle or clear
// a terminal and a NUL cannot cut a line short; a text longer than `keep`
// characters keeps its start and says how long it was.
inline constexpr qsizetype DefaultKeep = 120;
QString printable(QStringView text, qsizetype keep = DefaultKeep);

// printable() in double quotes.
QString quoted(QStringView text, qsizetype keep = DefaultKeep);

// A name as a shell reads it back byte for byte: in single quotes, or as
// $'...' with escapes where it holds control characters or bytes that are
// not UTF-8, so that a pasted command acts on exactly that file and its
// name cannot steer the terminal.
QString shellQuoted(QStringView text);

// A list entry as a person reads it: its text quoted, "(none)" for no
// selection, "(entry 99)" for a number beyond the list.
QString entryText(const std::optional<int> &entry, const QStringList &list);

QString yesNo(bool value);

// "1 byte", "2 bytes".
QString countOf(qint64 count, const char *one, const char *many);

// "Set 3", "Sets 3 and 5", "Sets 3 to 6", "Sets 2, 4 and 6"; 0 for set 1.
QString setsNamed(const QList<int> &sets);

} // namespace tavlo
