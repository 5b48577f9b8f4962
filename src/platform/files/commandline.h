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
    // Flags that may join a value with "=": "--watch" or "--watch=DIR".
    QSet<QString> optionalValue;
};

struct Arguments {
    QStringList positional;
    QSet<QString> flags;
    QHash<QString, QString> values;    // the last value of a repeatable option
    QHash<QString, QStringList> lists; // every value of a repeatable option
    bool help = false;
    bool version = false;
    QString error; // wrong usage

    bool has(const char *flag) const { return flags.contains(QLatin1String(flag)); }
    bool given(const char *option) const { return values.contains(QLatin1String(option)); }
    QString value(const char *option) const { return values.value(QLatin1String(option)); }
    QStringList all(const char *option) const { return lists.value(QLatin1String(option)); }
};

Arguments parse(const QStringList &args, const Options &options);

} // namespace tavlo::commandline
