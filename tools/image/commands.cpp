// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"

#include "configcommands.h"
#include "devicecommands.h"
#include "displaytext.h"
#include "filecommands.h"
#include "fleet.h"

#include <array>

namespace tavlo::cli {

namespace {

using Takes = Option::Takes;

const auto OptionTable = std::to_array<Option>({
    {"--port", "-p", Takes::Value, "PORT",
     "the serial port of the device: /dev/ttyUSB0, /dev/ttyS0, COM3; fleet: once for each device"},
    {"--retries", nullptr, Takes::Value, "N",
     "after a failed verify, write again up to N times (0 to 1000, default 0)", 0, 1000},
    {"--settle", nullptr, Takes::Value, "MS",
     "how long the device gets to wake after the port opens, in milliseconds (0 to 60000, "
     "default 1000)",
     0, 60000},
    {"--backup", nullptr, Takes::Value, "BACKUP",
     "read the device's memory into BACKUP before anything is written"},
    {"--backup-dir", nullptr, Takes::Value, "DIR",
     "where each device's memory is saved first (default fleet-backups)"},
    {"--report", "-o", Takes::Value, "FILE", "the report of every device, as CSV"},
    {"--watch", nullptr, Takes::MaybeValue, "DIR",
     "program each tracker as it appears in DIR (default /dev/serial/by-id)"},
    {"--any-length", nullptr, Takes::Nothing, nullptr,
     "take a file that is not 127 bytes long, or a memory of another size"},
    {"--trace", nullptr, Takes::Nothing, nullptr,
     "every byte sent and received, and every change of the port, on standard error"},
    {"--json", nullptr, Takes::Nothing, nullptr, "print JSON instead of lines of text"},
    {"--quiet", "-q", Takes::Nothing, nullptr,
     "say no advice on standard error, and no line when a device action went well"},
    {"--strict", nullptr, Takes::Nothing, nullptr, "exit 1 for a note as for a warning"},
    {"--allow-duplicates", nullptr, Takes::Nothing, nullptr,
     "program two rows with one callsign and SSID all the same"},
    {"--resume", nullptr, Takes::Value, "REPORT",
     "leave out the rows an earlier run's --report marks verified"},
    {"--preset", nullptr, Takes::Value, "NAME",
     "start from a kind of station: handheld, car, home, bicycle, hiker, boat, balloon, "
     "weather; list names them"},
    {"--callsign", nullptr, Takes::Value, "CALL", "the station's callsign"},
});

int completionCommand(const Invocation &);

const std::array<Command, 15> CommandTable{{
    {"decode",
     "FILE",
     1,
     1,
     {},
     "Print, as JSON, the configuration that opening FILE in the window shows.",
     "tavlo-image decode club.bin > club.json",
     decodeCommand},
    {"encode",
     "JSON OUT",
     2,
     2,
     {{"--quiet"}},
     "Write the image that \"Save\" writes for the configuration in JSON. A configuration that "
     "cannot be saved is refused with one line naming the set and the field, and OUT is not "
     "written. The advice of check is said on standard error, and OUT is written all the same; "
     "--quiet leaves it out.",
     "tavlo-image encode club.json club.bin",
     encodeCommand},
    {"check",
     "FILE",
     1,
     1,
     {{"--json"}, {"--strict"}},
     "Advise on the configuration as an APRS operator would: obsolete or long paths, a "
     "lower-case callsign, a beacon that floods the channel, a position never filled in, unused "
     "sets. One line a finding, a warning or a note; --json prints a list with each finding's "
     "id, set, sets, field, severity, message and why. Exit 0 with no warnings (notes alone "
     "included), 1 with at least one warning (with --strict, one finding of either kind), 2 for "
     "an input that cannot be read or saved. The manual page lists every check with its source.",
     "tavlo-image check club.json",
     checkCommand},
    {"show",
     "FILE",
     1,
     1,
     {},
     "Print the configuration in FILE for a person.",
     "tavlo-image show club.bin",
     showCommand},
    {"diff",
     "A B",
     2,
     2,
     {{"--json"}},
     "Print what differs between two configurations, set by set and field by field: Set 2 "
     "path: \"WIDE2-2\" -> \"RELAY,WIDE2-2\". Each may be an image or a JSON configuration, "
     "compared as the image encode writes from it. Bytes that differ while every field agrees "
     "are listed by offset. --json prints the same as JSON. Exit 0 when they agree, 1 when they "
     "differ, 2 for wrong usage, an unreadable input or a JSON configuration that cannot be "
     "saved.",
     "tavlo-image diff before.bin club.bin",
     diffCommand},
    {"ports",
     "",
     0,
     0,
     {{"--json"}},
     "List the serial ports the system knows, one a line: the name to use, description and "
     "manufacturer, USB vendor and product id and serial number, the /dev/serial/by-id link, "
     "lock files that hold it (by which process, running or stale), and whether you may open "
     "it. No port is opened and no byte is sent.",
     "tavlo-image ports",
     portsCommand},
    {"doctor",
     "",
     0,
     0,
     {{"--port"}},
     "Check the usual reasons a port will not open: your group (dialout), brltty, "
     "ModemManager, lock files; with --port, whether PORT exists (else the USB serial devices "
     "present), where a link leads, and whether it opens for reading and writing, exclusively. "
     "Only PORT is opened, and nothing is sent. Every problem comes with the command that fixes "
     "it. Exit 0 when nothing was found, 1 otherwise.",
     "tavlo-image doctor --port /dev/ttyUSB0",
     doctorCommand},
    {"write",
     "FILE",
     1,
     1,
     {{"--port", false, true},
      {"--retries"},
      {"--any-length"},
      {"--backup"},
      {"--settle"},
      {"--trace"},
      {"--quiet"}},
     "Write FILE into the device and verify it, as \"Write File to EEProm\" does. After a "
     "failed verify, write again up to N times (default 0). A file that is not 127 bytes long "
     "is refused without --any-length, an empty one always. With --backup, the device's memory "
     "is read twice into BACKUP first; if that fails or the reads differ, nothing is written. "
     "FILE is read once: the verify and every retry compare the bytes that were sent. The "
     "advice of check is said on standard error first; --quiet leaves it out.",
     "tavlo-image write --port /dev/ttyUSB0 --backup before.bin club.bin",
     writeCommand},
    {"read",
     "FILE",
     1,
     1,
     {{"--port", false, true}, {"--any-length"}, {"--settle"}, {"--trace"}, {"--quiet"}},
     "Read the device's memory into FILE, as \"Read & Save file from EEProm\" does. Only a "
     "memory dump is saved: the count byte 127 and exactly 127 bytes (another count with "
     "--any-length, never extra bytes); anything else is \"not a memory dump\", exit 3.",
     "tavlo-image read --port /dev/ttyUSB0 tracker.bin",
     readCommand},
    {"verify",
     "FILE",
     1,
     1,
     {{"--port", false, true}, {"--any-length"}, {"--settle"}, {"--trace"}, {"--quiet"}},
     "Compare the device's memory with FILE as the verify after a write does, and say what "
     "differs the way diff does. Nothing is written. A FILE that is not 127 bytes long is "
     "refused without --any-length. Exit 0 when the device holds FILE, 1 when it differs, 3 for "
     "a port or device failure.",
     "tavlo-image verify --port /dev/ttyUSB0 club.bin",
     verifyCommand},
    {"fleet",
     "TEMPLATE ROSTER",
     2,
     2,
     {{"--port", true},
      {"--watch"},
      {"--backup-dir"},
      {"--report"},
      {"--retries"},
      {"--settle"},
      {"--json"},
      {"--quiet"},
      {"--allow-duplicates"},
      {"--resume"}},
     "Program a club's trackers, each with its row of ROSTER, several at once. TEMPLATE is an "
     "image or a JSON configuration; ROSTER a CSV file (commas, semicolons or tabs between "
     "cells) whose header names the columns that differ: callsign and setN.KEY (set1.ssid, "
     "set2.path), a list entry by its text (\"5 "
     "min\", \"Car\") or its index (\"#5\"). Every row passes the save checks before a port is "
     "opened (exit 2, naming each bad row and its column); two rows with one callsign and SSID "
     "need "
     "--allow-duplicates. Row k goes to the k-th --port, all at once; --watch waits for ports to "
     "appear in DIR (default /dev/serial/by-id) and programs each new one with the next row; a "
     "tracker this run programmed is left alone when it comes back. Each device: its memory "
     "read twice and saved in --backup-dir (default fleet-backups), or nothing written, then "
     "written, verified and reset. One line a device on standard output (--json: JSON), and "
     "with --report the same as CSV; --resume with that report leaves out the rows it marks "
     "verified, and the new report holds them too. Exit 0 only when every row was verified and "
     "no tracker is left half-written.",
     "tavlo-image fleet club.json roster.csv --watch --report club-report.csv",
     fleetCommand},
    {"new",
     "OUT",
     0,
     1,
     {{"--preset"}, {"--callsign"}, {"--quiet"}},
     "Write a new configuration into OUT: JSON where OUT ends in .json, else the image. With "
     "--preset, set 1 is made for a kind of station, and passes check without a warning once "
     "it has a callsign (a fixed station's beacon waits for its position); --preset list names "
     "the presets with a line each.",
     "tavlo-image new --preset car --callsign OK1ABC car.json",
     newCommand},
    {"set",
     "FILE KEY=VALUE...",
     2,
     -1,
     {{"--quiet"}},
     "Change fields of FILE in place, by the keys of the roster: callsign and setN.KEY "
     "(set1.ssid, set2.path). A list entry is its text, in capitals or not, or its index "
     "(\"#5\"); a flag is true/false, yes/no, on/off or 1/0; an empty value empties a text. "
     "FILE keeps its form, JSON or image, and is replaced only when every assignment passes "
     "the save checks. The advice of check is said on standard error; --quiet leaves it out.",
     "tavlo-image set car.json set1.interval=\"10 min\" set1.path=WIDE1-1,WIDE2-2",
     setCommand},
    {"lists",
     "",
     0,
     0,
     {},
     "Print every list a field chooses from (symbols, position comments, beacon intervals, "
     "symbol tables and codes, hemispheres), each entry with its index.",
     "tavlo-image lists",
     listsCommand},
    {"completion",
     "",
     0,
     0,
     {},
     "Print the completion of tavlo-image's commands, options, ports and files for bash. The "
     "package installs it; by hand: tavlo-image completion > "
     "~/.local/share/bash-completion/completions/tavlo-image",
     "tavlo-image completion",
     completionCommand},
}};

// The script bash completes tavlo-image's command lines with: the commands,
// each command's options, ports after --port, and files.
QString completionScript()
{
    QStringList names;
    QString cases;
    for (const Command &c : CommandTable) {
        names << QLatin1String(c.name);
        QStringList forms;
        for (const CommandOption &o : c.options)
            for (const Option &known : OptionTable)
                if (qstrcmp(known.name, o.name) == 0) {
                    forms << QLatin1String(known.name);
                    if (known.shortName)
                        forms << QLatin1String(known.shortName);
                }
        cases += QStringLiteral("        %1) options=\"%2 --help\" ;;\n")
                     .arg(QLatin1String(c.name), forms.join(u' '));
    }
    return QStringLiteral(
               "# bash completion for tavlo-image, made by tavlo-image completion\n"
               "_tavlo_image() {\n"
               "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
               "    local command=\"\" word options=\"\"\n"
               "    for word in \"${COMP_WORDS[@]:1:COMP_CWORD-1}\"; do\n"
               "        case $word in -*) ;; *) command=$word; break ;; esac\n"
               "    done\n"
               "    case $prev in\n"
               "        --port|-p)\n"
               "            COMPREPLY=($(compgen -W \"$(tavlo-image ports 2>&1 | "
               "grep -v '^tavlo-image:' | cut -d' ' -f1)\" -- \"$cur\") "
               "$(compgen -f -- \"$cur\"))\n"
               "            return ;;\n"
               "        --settle|--retries) return ;;\n"
               "    esac\n"
               "    if [ -z \"$command\" ] || [ \"$command\" = help ]; then\n"
               "        COMPREPLY=($(compgen -W \"%1 help --help --version\" -- \"$cur\"))\n"
               "        return\n"
               "    fi\n"
               "    case $command in\n%2    esac\n"
               "    if [[ $cur == -* ]]; then\n"
               "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
               "    else\n"
               "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
               "    fi\n"
               "}\n"
               "complete -o filenames -F _tavlo_image tavlo-image\n")
        .arg(names.join(u' '), cases);
}

int completionCommand(const Invocation &)
{
    return writeOut(completionScript().toUtf8()) ? Success : OutputFailed;
}

QString optionWithValue(const Option &o)
{
    const QString name = QString::fromLatin1(o.name);
    switch (o.takes) {
    case Takes::Value:
        return name + u' ' + QLatin1String(o.value);
    case Takes::MaybeValue:
        return name + QStringLiteral("[=%1]").arg(QLatin1String(o.value));
    case Takes::Nothing:
        break;
    }
    return name;
}

// The options of the table for the parser: every form any command takes.
commandline::Options parserOptions()
{
    commandline::Options parser;
    for (const Option &o : OptionTable) {
        const QString name = QString::fromLatin1(o.name);
        switch (o.takes) {
        case Takes::Nothing:
            parser.flags.insert(name);
            break;
        case Takes::Value:
            parser.valued.insert(name);
            break;
        case Takes::MaybeValue:
            parser.optionalValue.insert(name);
            break;
        }
        if (o.shortName)
            parser.shortNames.insert(QString::fromLatin1(o.shortName), name);
    }
    for (const Command &c : CommandTable)
        for (const CommandOption &o : c.options)
            if (o.repeatable)
                parser.repeatable.insert(QString::fromLatin1(o.name));
    return parser;
}

const CommandOption *takes(const Command &command, const QString &name)
{
    for (const CommandOption &o : command.options)
        if (name == QLatin1String(o.name))
            return &o;
    return nullptr;
}

// The options given against what the command takes, once each unless it
// takes them more often, numbers within their range.
QString optionsProblem(const Command &command, const Arguments &parsed)
{
    const QString name = QString::fromLatin1(command.name);
    QStringList given(parsed.flags.begin(), parsed.flags.end());
    given += parsed.values.keys();
    given.removeDuplicates();
    given.sort();
    for (const QString &option : given) {
        const CommandOption *taken = takes(command, option);
        if (!taken)
            return QStringLiteral("%1 does not take %2").arg(name, option);
        if (!taken->repeatable && parsed.lists.value(option).size() > 1)
            return QStringLiteral("%1 is given twice").arg(option);
        const Option *known = cli::option(option);
        bool ok = false;
        const int n = parsed.values.value(option).toInt(&ok);
        if (known->high > known->low && parsed.values.contains(option) &&
            (!ok || n < known->low || n > known->high))
            return QStringLiteral("%1 takes a whole number from %2 to %3")
                .arg(option)
                .arg(known->low)
                .arg(known->high);
    }
    return QString();
}

// The arguments after the command's name against what it takes. "--watch
// DIR": DIR is the option's where the command has an argument too many.
QString argumentsProblem(const Command &command, Arguments &parsed)
{
    const QStringList maybeValues = parsed.candidates.keys();
    for (const QString &option : maybeValues)
        if (command.most >= 0 && parsed.positional.size() > command.most)
            parsed.takeCandidate(option);
    const auto count = int(parsed.positional.size());
    if (count >= command.fewest && (command.most < 0 || count <= command.most))
        return QString();
    const QString name = QString::fromLatin1(command.name);
    if (command.most == 0)
        return QStringLiteral("%1 takes no arguments").arg(name);
    return QStringLiteral("%1 takes %2").arg(name, QLatin1String(command.arguments));
}

} // namespace

std::span<const Option> options()
{
    return OptionTable;
}

std::span<const Command> commands()
{
    return CommandTable;
}

const Option *option(QAnyStringView name)
{
    for (const Option &o : OptionTable)
        if (QAnyStringView::compare(name, QLatin1String(o.name)) == 0)
            return &o;
    return nullptr;
}

const Command *command(QAnyStringView name)
{
    for (const Command &c : CommandTable)
        if (QAnyStringView::compare(name, QLatin1String(c.name)) == 0)
            return &c;
    return nullptr;
}

int Invocation::number(const char *name, int fallback) const
{
    return parsed.given(name) ? parsed.value(name).toInt() : fallback;
}

namespace {

// What is wrong with the command's options and arguments, those after its
// name; empty when nothing is.
QString commandProblem(const Command &c, Arguments &parsed)
{
    for (auto it = parsed.candidates.begin(); it != parsed.candidates.end();)
        it = --it.value() < 0 ? parsed.candidates.erase(it) : std::next(it);
    const QString wrongOption = optionsProblem(c, parsed);
    return wrongOption.isEmpty() ? argumentsProblem(c, parsed) : wrongOption;
}

} // namespace

Reading readCommandLine(const QStringList &args)
{
    Reading r;
    Arguments parsed = commandline::parse(args, parserOptions());
    r.help = parsed.help;
    r.version = parsed.version;
    QStringList rest = parsed.positional;
    // "help COMMAND" is "COMMAND --help".
    if (!rest.isEmpty() && rest.first() == QLatin1String("help")) {
        r.help = true;
        rest.removeFirst();
    }
    if (rest.isEmpty()) {
        if (!r.help && !r.version)
            r.error = parsed.error.isEmpty() ? QStringLiteral("no command given") : parsed.error;
        return r;
    }
    const Command *c = command(rest.first());
    if (!c) {
        r.error = QStringLiteral("unknown command %1").arg(quoted(rest.first()));
        return r;
    }
    r.invocation.command = c;
    if (r.help || r.version)
        return r;
    if (!parsed.error.isEmpty()) {
        r.error = parsed.error;
        return r;
    }
    parsed.positional = rest.mid(1);
    r.error = commandProblem(*c, parsed);
    r.invocation.arguments = parsed.positional;
    r.invocation.parsed = parsed;
    return r;
}

// The name, the options it needs, its arguments, then the options it may take.
QString synopsis(const Command &command)
{
    QStringList parts{QString::fromLatin1(command.name)};
    QStringList optional;
    for (const CommandOption &o : command.options) {
        QString shown = optionWithValue(*option(o.name));
        if (o.repeatable)
            shown += QStringLiteral(" ...");
        if (o.required)
            parts << shown;
        else
            optional << u'[' + shown + u']';
    }
    if (command.arguments[0] != '\0')
        parts << QLatin1String(command.arguments);
    return (parts + optional).join(u' ');
}

QString commandHelp(const Command &command)
{
    QString text = wrapped(QStringLiteral("Usage: tavlo-image ") + synopsis(command), 0, 78)
                       .replace(u'\n', QStringLiteral("\n        ")) +
                   QStringLiteral("\n\n");
    text += wrapped(QLatin1String(command.summary), 0, 78) + QStringLiteral("\n");
    if (command.options.size() > 0) {
        text += QStringLiteral("\nOptions:\n");
        for (const CommandOption &o : command.options) {
            const Option *known = option(o.name);
            QString name = optionWithValue(*known);
            if (known->shortName)
                name = QLatin1String(known->shortName) + QStringLiteral(", ") + name;
            text += QStringLiteral("  %1\n%2\n")
                        .arg(name, wrapped(QLatin1String(known->meaning), 6, 78));
        }
    }
    return text + QStringLiteral("\nExample:\n  %1\n").arg(QLatin1String(command.example));
}

} // namespace tavlo::cli
