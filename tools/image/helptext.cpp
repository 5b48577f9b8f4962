// SPDX-License-Identifier: GPL-3.0-or-later
#include "helptext.h"

#include "configjson.h"
#include "licence.h"

namespace tavlo::cli {

namespace {

const char HelpText[] = R"(Usage: tavlo-image [OPTIONS] COMMAND ARGUMENTS

Reads, writes and shows 127-byte configuration images.

Commands:
  decode FILE          Print, as JSON, the configuration that opening FILE
                       in the window shows.
  encode JSON OUT [--quiet]
                       Write the image that "Save" writes for the
                       configuration in JSON. A configuration that cannot be
                       saved is refused with one line naming the set and the
                       field, and OUT is not written. The advice of check is
                       said on standard error, and OUT is written all the
                       same; --quiet leaves it out.
  check FILE [--json] [--strict]
                       Advise on the configuration as an APRS operator
                       would: obsolete or long paths, a lower-case
                       callsign, a beacon that floods the channel, a
                       position never filled in, unused sets. One line a
                       finding, a warning or a note; --json prints a list
                       with each finding's id, set, sets, field, severity,
                       message and why. Exit 0 with no warnings (notes
                       alone included), 1 with at least one warning (with
                       --strict, one finding of either kind), 2 for an
                       input that cannot be read or saved. The manual page
                       lists every check with its source.
  show FILE            Print the configuration in FILE for a person.
  diff A B [--json]    Print what differs between two configurations, set by
                       set and field by field: Set 2 path: "WIDE2-2" ->
                       "RELAY,WIDE2-2". Each may be an image or a JSON
                       configuration, compared as the image encode writes
                       from it. Bytes that differ while every field agrees
                       are listed by offset. --json prints the same as JSON.
                       Exit 0 when they agree, 1 when they differ, 2 for
                       wrong usage, an unreadable input or a JSON
                       configuration that cannot be saved.
  ports [--json]       List the serial ports the system knows, one a line:
                       the name to use, description and manufacturer, USB
                       vendor and product id and serial number, the
                       /dev/serial/by-id link, lock files that hold it (by
                       which process, running or stale), and whether you may
                       open it. No port is opened and no byte is sent.
  doctor [--port PORT] Check the usual reasons a port will not open: your
                       group (dialout), brltty, ModemManager, lock files;
                       with --port, whether PORT exists (else the USB serial
                       devices present), where a link leads, and whether it
                       opens for reading and writing, exclusively. Only
                       PORT is opened, and nothing is sent. Every problem
                       comes with the command that fixes it. Exit 0 when
                       nothing was found, 1 otherwise.
  write --port PORT FILE [--retries N] [--any-length] [--backup BACKUP]
        [--settle MS] [--trace] [--quiet]
                       Write FILE into the device and verify it, as "Write
                       File to EEProm" does. After a failed verify, write
                       again up to N times (default 0). A file that is not
                       127 bytes long is refused without --any-length, an
                       empty one always. With --backup, the device's memory
                       is read twice into BACKUP first; if that fails or the
                       reads differ, nothing is written. FILE is
                       read once: the verify and every retry compare the
                       bytes that were sent. The advice of check is said on
                       standard error first; --quiet leaves it out.
  read --port PORT FILE [--any-length] [--settle MS] [--trace]
                       Read the device's memory into FILE, as "Read & Save
                       file from EEProm" does. Only a memory dump is saved:
                       the count byte 127 and exactly 127 bytes (another
                       count with --any-length, never extra bytes); anything
                       else is "not a memory dump", exit 3.
  verify --port PORT FILE [--any-length] [--settle MS] [--trace]
                       Compare the device's memory with FILE as the verify
                       after a write does, and say what differs the way diff
                       does. Nothing is written. A FILE that is not 127
                       bytes long is refused without --any-length. Exit 0
                       when the device holds FILE, 1 when it differs, 3 for
                       a port or device failure.
  fleet TEMPLATE ROSTER (--port PORT ... | --watch[=DIR]) [--backup-dir DIR]
        [--report FILE] [--retries N] [--settle MS] [--json] [--quiet]
        [--allow-duplicates]
                       Program a club's trackers, each with its row of
                       ROSTER, several at once. TEMPLATE is an image or a
                       JSON configuration; ROSTER a CSV file whose header
                       names the columns that differ: callsign and setN.KEY
                       (set1.ssid, set2.path), a list entry by its text
                       ("5 min", "Car") or its index ("#5"). Every row passes
                       the save checks before a port is opened (exit 2,
                       naming the row and the column); two rows with one
                       callsign and SSID need --allow-duplicates. Row k goes
                       to the k-th --port, all at once; --watch waits for
                       ports to appear in DIR (default /dev/serial/by-id) and
                       programs each new one with the next row; a tracker
                       this run programmed is left alone when it comes back.
                       Each device: its memory read twice and saved in
                       --backup-dir (default fleet-backups), or nothing
                       written, then written, verified and reset. One line a
                       device on standard output (--json: JSON), and with
                       --report the same as CSV. Exit 0 only when every row
                       was verified and no tracker is left half-written.

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

Other options:
  -h, --help           Print this help.
  --version            Print the version.

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
        QStringLiteral("JSON form: {\"callsign\": TEXT, \"sets\": [six sets, set 1 first]}, "
                       "each set with the keys %1. Texts are texts as typed; beacon, gps and "
                       "coordinates are true or false; symbol is 0 to 15 (15 is \"OTHERS\"); "
                       "the other numbers are list entries counted from 0, or null for no "
                       "selection. A missing key keeps the state of a new window.")
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

QString helpText()
{
    return QString::fromUtf8(HelpText).replace(QStringLiteral("%JSON-FORM%"), jsonFormHelp());
}

QString versionText()
{
    return QStringLiteral("tavlo-image %1\n%2\n")
        .arg(QStringLiteral(TAVLO_VERSION), QStringLiteral(TAVLO_LICENCE));
}

} // namespace tavlo::cli
