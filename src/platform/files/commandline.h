// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// The command line of every program: options may stand anywhere before
// "--", which ends them; after it every argument is positional, "-h" too. A
// value follows its option, or joins it with "=". "-" alone is positional.
// An option given twice, an unknown one, or a flag with a value is wrong.
namespace tavlo::commandline {

struct Options {
    QSet<QString> flags;  // options without a value: "--trace"
    QSet<QString> valued; // options with a value: "--port"
    // Valued options that may be given more than once: every value is kept.
    QSet<QString> repeatable;
    // Flags that may take a value: "--watch", "--watch=DIR", or "--watch DIR"
    // where the command takes DIR for its value (see candidates).
    QSet<QString> optionalValue;
    // Short forms: "-p" for "--port".
    QHash<QString, QString> shortNames;
};

struct Arguments {
    QStringList positional;
    QSet<QString> flags;
    QHash<QString, QString> values;    // the last value of a repeatable option
    QHash<QString, QStringList> lists; // every value of a repeatable option
    // The positional argument right after an option that may take a value
    // ("--watch DIR"): its index in `positional`. takeCandidate() makes it
    // the option's value, where the command has an argument too many.
    QHash<QString, qsizetype> candidates;
    bool help = false;
    bool version = false;
    QString error; // wrong usage

    bool has(const char *flag) const { return flags.contains(QLatin1String(flag)); }
    bool given(const char *option) const { return values.contains(QLatin1String(option)); }
    QString value(const char *option) const { return values.value(QLatin1String(option)); }
    QStringList all(const char *option) const { return lists.value(QLatin1String(option)); }
    // Takes the positional argument after `option` for its value; false when
    // there is none.
    bool takeCandidate(const QString &option);
};

Arguments parse(const QStringList &args, const Options &options);

} // namespace tavlo::commandline
