// SPDX-License-Identifier: GPL-3.0-or-later
// tavlo-image: the configuration image from the command line, on the same
// code as the window.

#include "advice.h"
#include "cli.h"
#include "configjson.h"
#include "devicecommands.h"
#include "displaytext.h"
#include "fields.h"
#include "files.h"
#include "fleet.h"
#include "image.h"
#include "imagediff.h"
#include "imagefile.h"
#include "imageinput.h"
#include "licence.h"
#include "portdoctor.h"
#include "savecheck.h"
#include "systemview.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QStringList>
#include <QTextStream>

using namespace tavlo;
using namespace tavlo::cli;

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
                       127 bytes long is refused without --any-length. With
                       --backup, the device's memory is read into BACKUP
                       first; if that fails, nothing is written. FILE is
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
                       Program a club's trackers, each with its row of
                       ROSTER, several at once. TEMPLATE is an image or a
                       JSON configuration; ROSTER a CSV file whose header
                       names the columns that differ: callsign and setN.KEY
                       (set1.ssid, set2.path), a list entry by its index or
                       its text ("5 min", "Car"). Every row passes the save
                       checks before a port is opened (exit 2, naming the
                       row and the column). Row k goes to the k-th --port,
                       all at once; --watch waits for ports to appear in DIR
                       (default /dev/serial/by-id) and programs each new one
                       with the next row. Each device: its memory saved in
                       --backup-dir (default fleet-backups) or nothing
                       written, then written, verified and reset. One line a
                       device on standard output (--json: JSON), and with
                       --report the same as CSV. Exit 0 only when every row
                       was verified.

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

QString versionText()
{
    return QStringLiteral("tavlo-image %1\n%2\n")
        .arg(QStringLiteral(TAVLO_VERSION), QStringLiteral(TAVLO_LICENCE));
}

// The exit status for an input that is no image: broken JSON is a usage fault.
int inputFailure(const InputProblem &problem)
{
    return fail(problem.isUsage() ? Usage : Refused, problem.message);
}

// The configuration an image or JSON input holds, handed to `use`.
template <typename Use> int withConfiguration(const QString &argument, Use use)
{
    const Result<QByteArray, InputProblem> image = readImageInput(argument);
    if (!image)
        return inputFailure(image.error());
    const Result<Configuration> config = decodeImage(*image);
    if (!config)
        return fail(Refused, QStringLiteral("%1 is %2").arg(printable(argument), config.error()));
    return use(*config);
}

int decode(const QString &path)
{
    return withConfiguration(path, [](const Configuration &config) {
        return writeOut(configurationToJson(config)) ? Success : OutputFailed;
    });
}

int encode(const QString &jsonPath, const QString &outPath, bool quiet)
{
    if (const QString problem = terminalProblem(jsonPath, outPath); !problem.isEmpty())
        return usage(problem);
    const QString in = inputPath(jsonPath);
    const QString out = outputPath(outPath);
    if (isSameFile(in, out))
        return fail(
            Refused,
            QStringLiteral("%1 is the input: refusing to overwrite it").arg(printable(outPath)));
    const Result<QByteArray> read = readBoundedFile(in, LargestJson);
    if (!read)
        return fail(Refused,
                    QStringLiteral("Could not read %1: %2").arg(printable(jsonPath), read.error()));
    const Result<Configuration> parsed = configurationFromJson(*read);
    if (!parsed)
        return fail(Refused, QStringLiteral("%1: %2").arg(printable(jsonPath), parsed.error()));
    if (const Status<SaveProblem> saveable = checkSaveable(*parsed); !saveable)
        return fail(Refused,
                    QStringLiteral("%1: %2").arg(printable(jsonPath), saveable.error().message));
    const QByteArray image = encodeImage(*parsed);
    if (!quiet)
        warnAbout(image);
    if (const Status<> saved = writeFileSafely(out, image); !saved)
        return fail(Refused,
                    QStringLiteral("Could not save %1: %2").arg(printable(outPath), saved.error()));
    return Success;
}

// Advice on what the device would hold: exit 0 with none, 1 with some, 2 for
// an input that cannot be read or saved.
int check(const QString &argument, bool json, bool strict)
{
    const Result<QByteArray, InputProblem> image = readImageInput(argument);
    if (!image)
        return fail(Usage, image.error().message);
    const Result<Configuration> config = decodeImage(*image);
    if (!config)
        return fail(Usage,
                    QStringLiteral("%1 is neither a JSON configuration nor an image: it is %2")
                        .arg(printable(argument), config.error()));
    const QList<Finding> findings = adviseOn(*config);
    QString text;
    for (const Finding &finding : findings)
        text += finding.message + u'\n';
    if (!writeOut(json ? findingsJson(findings) + '\n' : text.toUtf8()))
        return OutputFailed;
    const bool found =
        strict ? !findings.isEmpty() : std::any_of(findings.begin(), findings.end(), isWarning);
    return found ? Refused : Success;
}

// An image as it is, or a JSON configuration as the image encode writes
// from it: a difference that saving would erase is no difference.
Result<QByteArray> comparableImage(const QString &argument)
{
    using Image = Result<QByteArray>;
    const Result<QByteArray, InputProblem> image = readImageInput(argument);
    if (!image)
        return Image::failure(image.error().message);
    if (image->size() < ImageReadSize)
        return Image::failure(QStringLiteral("%1 is neither a JSON configuration nor an image: "
                                             "it is %2")
                                  .arg(printable(argument), decodeImage(*image).error()));
    return *image;
}

int diff(const QString &a, const QString &b, bool json)
{
    const Result<QByteArray> from = comparableImage(a);
    if (!from)
        return fail(Usage, from.error());
    const Result<QByteArray> to = comparableImage(b);
    if (!to)
        return fail(Usage, to.error());
    const Result<ImageDiff> found = diffImages(*from, *to);
    if (!found)
        return fail(Usage, found.error());
    const QByteArray text =
        json ? diffJson(*found)
             : (found->isEmpty() ? QByteArray() : (diffLines(*found).join(u'\n') + u'\n').toUtf8());
    if (!writeOut(text))
        return OutputFailed;
    return found->isEmpty() ? Success : Refused;
}

// The serial ports the system knows, without opening one.
int listPorts(bool json)
{
    const RealSystemView system;
    const QList<ports::SurveyedPort> found = ports::surveyPorts(system);
    QString text;
    for (const ports::SurveyedPort &port : found)
        text += ports::portLine(port) + u'\n';
    return writeOut(json ? ports::portsJson(found) + '\n' : text.toUtf8()) ? Success : OutputFailed;
}

// The usual reasons a port will not open, each problem with its fix; with
// --port, that port too, which alone is opened, and nothing is sent.
int doctor(const Arguments &o, const QStringList &rest)
{
    if (!rest.isEmpty() || o.values.size() > (o.given("--port") ? 1 : 0) || !o.flags.isEmpty())
        return usage(QStringLiteral("doctor takes no arguments and only --port PORT"));
    if (o.given("--port") && o.value("--port").isEmpty())
        return usage(QStringLiteral("--port needs a port"));
    const RealSystemView system;
    const QList<ports::Finding> found = ports::examine(system, o.value("--port"));
    if (!writeOut(ports::report(found).toUtf8()))
        return OutputFailed;
    const bool problems =
        std::any_of(found.begin(), found.end(), [](const ports::Finding &f) { return f.problem; });
    return problems ? Refused : Success;
}

int showText(const Configuration &config)
{
    // Texts from the image are quoted with their control characters escaped:
    // an image must not be able to steer the terminal.
    QString text;
    QTextStream o(&text);
    o << "Callsign: " << quoted(config.callsign) << '\n';
    for (int i = 0; i < SetCount; ++i) {
        o << "Set " << i + 1 << '\n';
        for (const auto &[label, value] : shownLines(config.sets[i]))
            o << "  " << (label + u':').leftJustified(22) << value << '\n';
    }
    o.flush();
    return writeOut(text.toUtf8()) ? Success : OutputFailed;
}

int show(const QString &path)
{
    return withConfiguration(path, [](const Configuration &config) { return showText(config); });
}

// One command: its name, how many arguments it takes (-1: its own check),
// the options it accepts besides none, and what it does.
struct Command {
    const char *name;
    int arguments;
    const char *onlyOption; // the options it takes, blank between, or nullptr for none
    int (*action)(const Arguments &, const QStringList &);
};

const Command Commands[] = {
    {"decode", 1, nullptr,
     [](const Arguments &, const QStringList &a) {
         return decode(a[0]);
     }},
    {"encode", 2, "--quiet",
     [](const Arguments &o, const QStringList &a) {
         return encode(a[0], a[1], o.has("--quiet"));
     }},
    {"show", 1, nullptr,
     [](const Arguments &, const QStringList &a) {
         return show(a[0]);
     }},
    {"diff", 2, "--json",
     [](const Arguments &o, const QStringList &a) {
         return diff(a[0], a[1], o.has("--json"));
     }},
    {"check", 1, "--json --strict",
     [](const Arguments &o, const QStringList &a) {
         return check(a[0], o.has("--json"), o.has("--strict"));
     }},
    {"ports", 0, "--json",
     [](const Arguments &o, const QStringList &) {
         return listPorts(o.has("--json"));
     }},
    {"doctor", -1, nullptr, doctor},
    {"write", -1, nullptr,
     [](const Arguments &o, const QStringList &a) {
         return deviceCommand(o, a, DeviceAction::Write);
     }},
    {"read", -1, nullptr,
     [](const Arguments &o, const QStringList &a) {
         return deviceCommand(o, a, DeviceAction::Read);
     }},
    {"verify", -1, nullptr,
     [](const Arguments &o, const QStringList &a) {
         return deviceCommand(o, a, DeviceAction::Verify);
     }},
    {"fleet", -1, nullptr, fleetCommand},
};

// The device commands check their own options and arguments; the others take
// a fixed number of arguments and at most one option.
int runCommand(const Command &c, const Arguments &parsed, const QStringList &rest)
{
    const QString name = QString::fromLatin1(c.name);
    if (c.arguments < 0)
        return c.action(parsed, rest);
    const QStringList options =
        QString::fromLatin1(c.onlyOption ? c.onlyOption : "").split(u' ', Qt::SkipEmptyParts);
    const bool others = std::any_of(parsed.flags.begin(), parsed.flags.end(),
                                    [&options](const QString &f) { return !options.contains(f); });
    if (!parsed.values.isEmpty() || others)
        return usage(c.onlyOption ? QStringLiteral("%1 takes no options but %2")
                                        .arg(name, options.join(QStringLiteral(" and ")))
                                  : QStringLiteral("%1 takes no options").arg(name));
    if (rest.size() != c.arguments)
        return usage(
            QStringLiteral("%1 takes %2").arg(name, countOf(c.arguments, "argument", "arguments")));
    return c.action(parsed, rest);
}

int run(const QStringList &args)
{
    const Options options{
        {"--trace", "--any-length", "--json", "--quiet", "--strict"},
        {"--port", "--retries", "--settle", "--backup", "--backup-dir", "--report"},
        {"--port"},
        {"--watch"}};
    const Arguments parsed = commandline::parse(args, options);
    if (parsed.help)
        return writeOut(QString::fromUtf8(HelpText)
                            .replace(QStringLiteral("%JSON-FORM%"), jsonFormHelp())
                            .toUtf8())
                   ? Success
                   : OutputFailed;
    if (parsed.version)
        return writeOut(versionText().toUtf8()) ? Success : OutputFailed;
    if (!parsed.error.isEmpty())
        return usage(parsed.error);
    if (parsed.positional.isEmpty())
        return usage(QStringLiteral("no command given"));
    const QString command = parsed.positional.first();
    for (const Command &c : Commands)
        if (command == QLatin1String(c.name))
            return runCommand(c, parsed, parsed.positional.mid(1));
    return usage(QStringLiteral("unknown command %1").arg(quoted(command)));
}

} // namespace

int main(int argc, char *argv[])
{
    files::prepareStandardStreams();
    try {
        QCoreApplication app(argc, argv);
        // File names as the system gave them, also those that are not UTF-8.
        return run(files::arguments(argc, argv));
    } catch (const std::bad_alloc &) {
        return fail(Refused, QStringLiteral("out of memory"));
    } catch (const std::exception &e) {
        return fail(Refused, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return fail(Refused, QStringLiteral("an unexpected failure"));
    }
}
