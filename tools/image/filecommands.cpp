// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that work on files and on what the system knows of its ports.
#include "filecommands.h"

#include "advice.h"
#include "configjson.h"
#include "displaytext.h"
#include "fields.h"
#include "files.h"
#include "image.h"
#include "imagediff.h"
#include "imagefile.h"
#include "imageinput.h"
#include "portdoctor.h"
#include "savecheck.h"
#include "systemview.h"

#include <QJsonDocument>
#include <QTextStream>

namespace tavlo::cli {

namespace {

// What show prints for an erased part, and decode says of them.
const QString ErasedText = QStringLiteral("erased (every byte 0xFF)");

QString erasedSaid(const ErasedParts &erased)
{
    return QStringLiteral("%1 %2 erased (every byte 0xFF), so given blank, as in a new window")
        .arg(erased.named().toLower(), erased.one() ? QStringLiteral("is") : QStringLiteral("are"));
}

// The exit status for an input that is no image: broken JSON is a usage fault.
int inputFailure(const InputProblem &problem)
{
    return fail(problem.isUsage() ? Usage : Refused, problem.message);
}

// The configuration an image or JSON input holds, handed to `use` with the
// parts of the image that are erased memory.
template <typename Use> int withConfiguration(const QString &argument, Use use)
{
    const Result<QByteArray, InputProblem> image = readImageInput(argument);
    if (!image)
        return inputFailure(image.error());
    const Result<Configuration> config = decodeImage(*image);
    if (!config)
        return fail(Refused, QStringLiteral("%1 is %2").arg(printable(argument), config.error()));
    if constexpr (std::is_invocable_v<Use, const Configuration &, const ErasedParts &>)
        return use(*config, erasedParts(*image));
    else
        return use(*config);
}

// An erased memory holds no configuration: its JSON would be made-up values
// that encode takes for real ones. Erased parts of a memory written in part
// are said, and given as a new window has them.
int decode(const QString &path)
{
    return withConfiguration(
        path, [&path](const Configuration &config, const ErasedParts &erased) -> int {
            if (erased.all())
                return fail(Refused,
                            QStringLiteral("%1 is an erased memory: every byte is 0xFF, so "
                                           "there is no configuration to decode")
                                .arg(printable(path)));
            if (erased.any())
                say(erasedSaid(erased));
            return writeOut(configurationToJson(withoutErased(config, erased))) ? Success
                                                                                : OutputFailed;
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
        text += severityName(finding.severity) + QStringLiteral(": ") + finding.message + u'\n';
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
int doctor(const QString &port)
{
    const RealSystemView system;
    const QList<ports::Finding> found = ports::examine(system, port);
    if (!writeOut(ports::report(found).toUtf8()))
        return OutputFailed;
    const bool problems =
        std::any_of(found.begin(), found.end(), [](const ports::Finding &f) { return f.problem; });
    return problems ? Refused : Success;
}

int showText(const Configuration &config, const ErasedParts &erased)
{
    // Texts from the image are quoted with their control characters escaped:
    // an image must not be able to steer the terminal.
    QString text;
    QTextStream o(&text);
    if (erased.all()) {
        o << "Erased memory: every byte is 0xFF, so it holds no configuration\n";
    } else {
        o << "Callsign: " << (erased.callsign ? ErasedText : quoted(config.callsign)) << '\n';
        for (int i = 0; i < SetCount; ++i) {
            o << "Set " << i + 1 << (erased.sets.at(i) ? QStringLiteral(": ") + ErasedText : "")
              << '\n';
            if (!erased.sets.at(i))
                for (const auto &[label, value] : shownLines(config.sets[i]))
                    o << "  " << (label + u':').leftJustified(22) << value << '\n';
        }
    }
    o.flush();
    return writeOut(text.toUtf8()) ? Success : OutputFailed;
}

int show(const QString &path)
{
    return withConfiguration(path, showText);
}

} // namespace

int decodeCommand(const Invocation &i)
{
    return decode(i.arguments[0]);
}

int encodeCommand(const Invocation &i)
{
    return encode(i.arguments[0], i.arguments[1], i.has("--quiet"));
}

int checkCommand(const Invocation &i)
{
    return check(i.arguments[0], i.has("--json"), i.has("--strict"));
}

int showCommand(const Invocation &i)
{
    return show(i.arguments[0]);
}

int diffCommand(const Invocation &i)
{
    return diff(i.arguments[0], i.arguments[1], i.has("--json"));
}

int portsCommand(const Invocation &i)
{
    return listPorts(i.has("--json"));
}

int doctorCommand(const Invocation &i)
{
    if (i.given("--port") && i.value("--port").isEmpty())
        return usage(QStringLiteral("--port needs a port"));
    return doctor(i.value("--port"));
}

} // namespace tavlo::cli
