// SPDX-License-Identifier: GPL-3.0-or-later
#include "helptext.h"

#include "cli.h"
#include "commands.h"
#include "configjson.h"
#include "licence.h"

namespace tavlo::cli {

namespace {

const char HelpText[] = R"(Usage: tavlo-image [OPTIONS] COMMAND ARGUMENTS

Reads, writes and shows 127-byte configuration images.

%COMMANDS%
PORT is a serial port such as /dev/ttyUSB0, /dev/ttyS0 or COM3. It is opened
as choosing it in the window opens it: DTR and RTS raised, one ESC sent. The
device then has --settle milliseconds to wake (default 1000, as long as a
reset holds the lines) before the first command. --trace prints on standard
error every byte sent and received, and every change of the port as it
happened, with a millisecond timestamp. A port locked by a live process
(/var/lock/LCK..NAME) is busy and its lock is left alone.

SIGINT (Ctrl-C), SIGTERM and SIGHUP, and an output closed under the tool
(| head), stop a write or read in order: nothing more is written, the device
is reset, the port closed, no partial file left, and the exit status is 128 +
the signal's number (141 for a closed output). The last line says what the
device now holds.

%JSON-FORM%

FILE, JSON or OUT may be "-" for standard input or output. Every command that
reads an image also takes a JSON configuration; one that does not parse is
refused with its offset (exit 2). A file is written whole or not at all and
keeps its owner, group, mode and hard links; an output that exists and is not
a regular file (a FIFO, a device, /dev/stdout) is written to as it is, never
replaced; a name that leads to standard output or error, however it is
spelt, is written in place as the shell opened it. A FIFO nobody reads is
refused, not waited on. A FILE, BACKUP or output that leads to the port is
refused before a byte is sent. JSON input is limited to 1 MiB; a file to write into the device to
64 KiB. encode refuses to overwrite its own input. Standard output carries
only data; every message goes to standard error.

Options may stand anywhere before "--"; after it, every argument is a file
name, even one that starts with "-".

Options:
%OPTIONS%
  -h, --help           Print this help; with a command, or as help COMMAND,
                       that command's.
  -v, --version        Print the version.

Exit status: 0 success (written and verified, read, the device holds FILE,
no difference), 1 refused or unreadable input, a failed verify or a
difference, 2 wrong usage or JSON that does not parse (for diff also an
unreadable input or a JSON configuration that cannot be saved), 3 port or
device failure (a busy port, no reply, not a memory dump), 4 standard output
could not be written (closed or full), 128 + N when stopped by signal N.

Examples:
  tavlo-image verify --port /dev/ttyUSB0 club.bin
  tavlo-image write --port /dev/ttyUSB0 --backup before.bin club.bin
  tavlo-image diff before.bin club.bin
  tavlo-image fleet club.json roster.csv --watch --report club-report.csv
)";

// The paragraph on the JSON form, with its keys from the field table,
// wrapped as the rest of the help.
QString jsonFormHelp()
{
    const QString text =
        QStringLiteral("JSON form: {\"callsign\": TEXT, \"sets\": [up to six sets, set 1 "
                       "first]}, each set with the keys %1. Texts are texts as typed; beacon, "
                       "gps and coordinates are true or false; symbol is 0 to 15 (15 is "
                       "\"OTHERS\"); the other numbers are list entries counted from 0, or "
                       "null for no selection, and an entry may be given by its text as "
                       "tavlo-image lists prints it. A missing key, or a missing set, keeps the "
                       "state of a new window.")
            .arg(setJsonKeys().join(QStringLiteral(", ")));
    constexpr int Width = 78;
    QString wrapped;
    qsizetype lineLength = 0;
    for (const QString &word : text.split(u' ')) {
        if (lineLength > 0 && lineLength + 1 + word.size() > Width) {
            wrapped += u'\n';
            lineLength = 0;
        } else if (lineLength > 0) {
            wrapped += u' ';
            ++lineLength;
        }
        wrapped += word;
        lineLength += word.size();
    }
    return wrapped;
}

} // namespace

// Each command: its synopsis, wrapped, and what it does, beside it.
QString commandsHelp()
{
    QString text = QStringLiteral("Commands:\n");
    for (const Command &c : commands()) {
        // Continued lines of the synopsis stand under its first word's end.
        const QString line = wrapped(synopsis(c), 2, 78)
                                 .replace(QStringLiteral("\n  "), QStringLiteral("\n        "));
        QString summary = wrapped(QLatin1String(c.summary), 23, 78);
        // What it does begins beside a short synopsis, under a long one.
        const qsizetype last = line.size() - line.lastIndexOf(u'\n') - 1;
        if (last < 22)
            text += line + summary.mid(last) + u'\n';
        else
            text += line + u'\n' + summary + u'\n';
    }
    return text;
}

// Every option once, with its short form and what it means.
QString optionsHelp()
{
    QStringList lines;
    for (const Option &o : options()) {
        QString name = QLatin1String(o.name);
        if (o.takes == Option::Takes::Value)
            name += u' ' + QLatin1String(o.value);
        else if (o.takes == Option::Takes::MaybeValue)
            name += QStringLiteral("[=%1]").arg(QLatin1String(o.value));
        if (o.shortName)
            name = QLatin1String(o.shortName) + QStringLiteral(", ") + name;
        QString meaning = wrapped(QLatin1String(o.meaning), 23, 78);
        if (name.size() + 2 < 22)
            meaning.replace(0, name.size() + 2, QStringLiteral("  ") + name);
        else
            meaning = QStringLiteral("  ") + name + u'\n' + meaning;
        lines << meaning;
    }
    return lines.join(u'\n');
}

QString helpText()
{
    return QString::fromUtf8(HelpText)
        .replace(QStringLiteral("%COMMANDS%"), commandsHelp())
        .replace(QStringLiteral("%OPTIONS%"), optionsHelp())
        .replace(QStringLiteral("%JSON-FORM%"), jsonFormHelp());
}

QString versionText()
{
    return QStringLiteral("tavlo-image %1\n%2\n")
        .arg(QStringLiteral(TAVLO_VERSION), QStringLiteral(TAVLO_LICENCE));
}

} // namespace tavlo::cli
