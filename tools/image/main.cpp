// tavlo-image: the configuration image from the command line, on the same
// code as the window.

#include "configjson.h"
#include "devicecommands.h"
#include "image.h"
#include "imagefile.h"
#include "savecheck.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

using namespace tavlo;

namespace {

enum ExitStatus { Success = 0, Refused = 1, Usage = 2 };

const char HelpText[] = R"(Usage: tavlo-image COMMAND ARGUMENTS

Reads, writes and shows 127-byte configuration images.

Commands:
  decode FILE          Print, as JSON, the configuration that opening FILE
                       in the window shows.
  encode JSON OUT      Write the image that "Save" writes for the
                       configuration in JSON. A configuration that cannot be
                       saved is refused with one line naming the set and the
                       field, and OUT is not written.
  show FILE            Print the configuration in FILE for a person.
  write --port PORT FILE [--retries N] [--any-length] [--settle MS] [--trace]
                       Write FILE into the device and verify it, as "Write
                       File to EEProm" does. After a failed verify, write
                       again up to N times (default 0). A file that is not
                       127 bytes long is refused without --any-length.
  read --port PORT FILE [--settle MS] [--trace]
                       Read the device's memory into FILE, as "Read & Save
                       file from EEProm" does.

PORT is a serial port such as /dev/ttyUSB0, /dev/ttyS0 or COM3. It is opened
as choosing it in the window opens it: DTR and RTS raised, one ESC sent. The
device then has --settle milliseconds to wake (default 1000, as long as a
reset holds the lines) before the first command. --trace prints every byte
sent and received, and every change of the port as it happened, with a
millisecond timestamp.

SIGINT (Ctrl-C), SIGTERM and SIGHUP stop a write or read in order: nothing
more is written, the device is reset, the port closed, no partial file left,
and the exit status is 128 + the signal's number.

JSON form: {"callsign": TEXT, "sets": [six sets, set 1 first]}, each set
with the keys ssid, beacon, gps, symbol, symbolTable, symbolCode, comment,
interval, coordinates, latDegrees, latMinutes, latHemisphere, lonDegrees,
lonMinutes, lonHemisphere, path. Texts are texts as typed; beacon, gps and
coordinates are true or false; symbol is 0 to 15 (15 is "OTHERS"); the other
numbers are list entries counted from 0, or null for no selection. A missing
key keeps the state of a new window.

Files are written whole or not at all.

Exit status: 0 success (written and verified, or read), 1 refused or
unreadable input or a failed verify (naming the first differing offsets),
2 wrong usage, 3 port or device failure.
)";

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

int fail(int status, const QString &message)
{
    out().flush();
    std::fprintf(stderr, "tavlo-image: %s\n", qPrintable(message));
    return status;
}

int usage(const QString &message)
{
    return fail(Usage, message + QStringLiteral(" (see tavlo-image --help)"));
}

int decode(const QString &path)
{
    const OpenedImage opened = openImageFile(path);
    if (!opened.config)
        return fail(Refused, opened.error);
    out() << QString::fromUtf8(configurationToJson(*opened.config));
    return Success;
}

int encode(const QString &jsonPath, const QString &outPath)
{
    const FileRead file = readFile(jsonPath);
    if (!file.error.isEmpty())
        return fail(Refused, QStringLiteral("Could not read %1: %2").arg(jsonPath, file.error));
    const ConfigurationFromJson parsed = configurationFromJson(file.bytes);
    if (!parsed.error.isEmpty())
        return fail(Refused, QStringLiteral("%1: %2").arg(jsonPath, parsed.error));
    if (const auto problem = findSaveProblem(parsed.config))
        return fail(Refused, problem->message);
    const QString error = writeFileAtomically(outPath, encodeImage(parsed.config));
    if (!error.isEmpty())
        return fail(Refused, QStringLiteral("Could not save %1: %2").arg(outPath, error));
    return Success;
}

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

QString entryText(const Entry &entry, const QStringList &list)
{
    if (!entry)
        return QStringLiteral("(none)");
    if (*entry < 0 || *entry >= list.size())
        return QStringLiteral("(entry %1)").arg(*entry);
    return quoted(list.at(*entry));
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

int show(const QString &path)
{
    const OpenedImage opened = openImageFile(path);
    if (!opened.config)
        return fail(Refused, opened.error);
    const auto &config = opened.config;
    QTextStream &o = out();
    o << "Callsign: " << quoted(config->Calls) << '\n';
    for (int i = 0; i < SetCount; ++i) {
        const ConfigSet &s = config->sets[i];
        auto line = [&o](const char *label, const QString &value) {
            o << "  " << QString::fromLatin1(label).leftJustified(22) << value << '\n';
        };
        o << "Set " << i + 1 << '\n';
        line("SSID:", quoted(s.ssid));
        line("Beacon TX:", yesNo(s.BCN));
        line("Beacon interval:", entryText(s.TXI, beaconIntervals()));
        line("Position comment:", entryText(s.POSCA, positionComments()));
        line("GPS Used:", yesNo(s.GPS));
        line("Symbol:",
             QStringLiteral("%1 %2").arg(s.VSICO).arg(entryText(s.VSICO, symbolNames())));
        line("Symbol table:", entryText(s.ICOT, symbolTables()));
        line("Symbol code:", entryText(s.ICOC, symbolCodes()));
        line("Prog Coord's:", yesNo(s.CORDS));
        line("Latitude:",
             QStringLiteral("%1 %2 %3")
                 .arg(quoted(s.LAD), quoted(s.LAM), entryText(s.LAS, latitudeHemispheres())));
        line("Longitude:",
             QStringLiteral("%1 %2 %3")
                 .arg(quoted(s.LOD), quoted(s.LOM), entryText(s.LOS, longitudeHemispheres())));
        line("Path:", quoted(s.PATH));
    }
    return Success;
}

int run(const QStringList &args)
{
    if (args.isEmpty())
        return usage(QStringLiteral("no command given"));
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        out() << HelpText;
        return Success;
    }
    const QString command = args.first();
    const QStringList rest = args.mid(1);
    if (command == QLatin1String("write"))
        return writeCommand(rest);
    if (command == QLatin1String("read"))
        return readCommand(rest);
    struct Command {
        const char *name;
        int arguments;
        int (*action)(const QStringList &);
    };
    static const Command commands[] = {
        {"decode", 1,
         [](const QStringList &a) {
             return decode(a[0]);
         }},
        {"encode", 2,
         [](const QStringList &a) {
             return encode(a[0], a[1]);
         }},
        {"show", 1,
         [](const QStringList &a) {
             return show(a[0]);
         }},
    };
    for (const Command &c : commands) {
        if (command != QLatin1String(c.name))
            continue;
        if (rest.size() != c.arguments)
            return usage(QStringLiteral("%1 takes %2 argument(s)").arg(command).arg(c.arguments));
        return c.action(rest);
    }
    return usage(QStringLiteral("unknown command \"%1\"").arg(command));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int status = run(app.arguments().mid(1));
    out().flush();
    return status;
}
