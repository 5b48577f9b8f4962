// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli.h"

#include <QAnyStringView>
#include <QString>
#include <QStringList>
#include <span>

namespace tavlo::cli {

// An option, once for every command that takes it: the parser, the
// refusals, --help, the manual's check and the completion are made from it.
struct Option {
    enum class Takes { Nothing, Value, MaybeValue };
    const char *name;      // "--port"
    const char *shortName; // "-p", or nullptr
    Takes takes;
    const char *value;   // "PORT", for an option that takes one
    const char *meaning; // one line for --help
    int low = 0;         // a whole number from low to high, where high > low
    int high = 0;
};

// The options a command takes, and which it takes more than once.
struct CommandOption {
    const char *name;
    bool repeatable = false;
    bool required = false;
};

struct Invocation;

struct Command {
    const char *name;
    const char *arguments; // "JSON OUT", for the synopsis
    int fewest;            // positional arguments, fewest and most (-1: no bound)
    int most;
    std::initializer_list<CommandOption> options;
    const char *summary; // what --help says of it
    const char *example; // one command line, for help COMMAND
    int (*run)(const Invocation &invocation);
};

std::span<const Option> options();
std::span<const Command> commands();
const Option *option(QAnyStringView name);
const Command *command(QAnyStringView name);

// A command line read against the table: the command, its arguments after
// its name, and its options, checked.
struct Invocation {
    const Command *command = nullptr;
    QStringList arguments;
    Arguments parsed;

    bool has(const char *flag) const { return parsed.has(flag); }
    bool given(const char *name) const { return parsed.given(name); }
    QString value(const char *name) const { return parsed.value(name); }
    QStringList all(const char *name) const { return parsed.all(name); }
    // A number option's value, checked against its range by readInvocation().
    int number(const char *name, int fallback) const;
};

// What a command line asks for: a command, help, the version, or wrong usage.
struct Reading {
    Invocation invocation;
    bool help = false;    // --help, or "help": for invocation.command if there is one
    bool version = false; // --version
    QString error;
};
Reading readCommandLine(const QStringList &args);

// The synopsis of a command: "write --port PORT FILE [--retries N] ...".
QString synopsis(const Command &command);
// help COMMAND: the synopsis, what it does, its options, an example.
QString commandHelp(const Command &command);

} // namespace tavlo::cli
