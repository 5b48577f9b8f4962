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
#include "helptext.h"
#include "image.h"
#include "imagediff.h"
#include "imagefile.h"
#include "imageinput.h"
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
    if (!parsed) // as every command that reads JSON: the caller's mistake
        return fail(Usage, QStringLiteral("%1: %2").arg(printable(jsonPath), parsed.error()));
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
        {"--trace", "--any-length", "--json", "--quiet", "--strict", "--allow-duplicates"},
        {"--port", "--retries", "--settle", "--backup", "--backup-dir", "--report"},
        {"--port"},
        {"--watch"}};
    const Arguments parsed = commandline::parse(args, options);
    if (parsed.help)
        return writeOut(helpText().toUtf8()) ? Success : OutputFailed;
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
