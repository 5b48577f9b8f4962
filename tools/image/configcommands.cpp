// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that make and change a configuration without hand-editing
// JSON: new, set and lists.
#include "configcommands.h"

#include "advice.h"
#include "configjson.h"
#include "displaytext.h"
#include "fields.h"
#include "image.h"
#include "imagefile.h"
#include "imageinput.h"
#include "roster.h"

namespace tavlo::cli {

namespace {

// Set 1 of a configuration for a kind of station, as the roster's cells
// give it; the other sets stay as a new window shows them. Each passes check
// without a warning once its callsign is given; a fixed station's beacon
// and coordinates wait for its position to be typed.
struct Preset {
    const char *name;
    const char *what;
    std::initializer_list<std::pair<const char *, const char *>> set1;
};

const Preset Presets[] = {
    {"handheld",
     "a handheld that takes its position from GPS: -7, every 5 minutes, WIDE1-1",
     {{"ssid", "7"},
      {"symbol", "KENWOOD"},
      {"beacon", "on"},
      {"gps", "on"},
      {"interval", "5 min"},
      {"comment", "Enroute"},
      {"path", "WIDE1-1"}}},
    {"car",
     "a car with a GPS: -9, every 5 minutes, WIDE1-1",
     {{"ssid", "9"},
      {"symbol", "Car"},
      {"beacon", "on"},
      {"gps", "on"},
      {"interval", "5 min"},
      {"comment", "Enroute"},
      {"path", "WIDE1-1"}}},
    {"home",
     "a home station at a fixed position: no SSID, every 30 minutes, WIDE2-2; type the "
     "position, then turn its beacon on",
     {{"symbol", "Home"},
      {"interval", "30 min"},
      {"comment", "In Service"},
      {"latHemisphere", "N"},
      {"lonHemisphere", "E"},
      {"path", "WIDE2-2"}}},
    {"bicycle",
     "a bicycle with a GPS: -7, every 5 minutes, WIDE1-1",
     {{"ssid", "7"},
      {"symbol", "OTHERS"},
      {"symbolTable", "/"},
      {"symbolCode", "b"},
      {"beacon", "on"},
      {"gps", "on"},
      {"interval", "5 min"},
      {"comment", "Enroute"},
      {"path", "WIDE1-1"}}},
    {"hiker",
     "a hiker where digipeaters are sparse: -7, every 10 minutes, WIDE1-1,WIDE2-2",
     {{"ssid", "7"},
      {"symbol", "Jogger"},
      {"beacon", "on"},
      {"gps", "on"},
      {"interval", "10 min"},
      {"comment", "Enroute"},
      {"path", "WIDE1-1,WIDE2-2"}}},
    {"boat",
     "a boat with a GPS: -8, every 10 minutes, WIDE2-2",
     {{"ssid", "8"},
      {"symbol", "Boat"},
      {"beacon", "on"},
      {"gps", "on"},
      {"interval", "10 min"},
      {"comment", "Enroute"},
      {"path", "WIDE2-2"}}},
    {"balloon",
     "a balloon: -11, every minute, no path (from the air every digipeater hears it)",
     {{"ssid", "11"},
      {"symbol", "OTHERS"},
      {"symbolTable", "/"},
      {"symbolCode", "O"},
      {"beacon", "on"},
      {"gps", "on"},
      {"interval", "1 min"},
      {"comment", "Enroute"},
      {"path", ""}}},
    {"weather",
     "a weather station at a fixed position: -13, every 30 minutes, WIDE2-2; type "
     "the position, then turn its beacon on",
     {{"ssid", "13"},
      {"symbol", "OTHERS"},
      {"symbolTable", "/"},
      {"symbolCode", "_"},
      {"interval", "30 min"},
      {"comment", "In Service"},
      {"latHemisphere", "N"},
      {"lonHemisphere", "E"},
      {"path", "WIDE2-2"}}},
};

const Preset *preset(const QString &name)
{
    for (const Preset &p : Presets)
        if (name == QLatin1String(p.name))
            return &p;
    return nullptr;
}

bool isJsonName(const QString &path)
{
    return path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive);
}

// Assignments KEY=VALUE with the roster's keys and its rules for values,
// applied to `start` and checked as saving checks them.
Result<Configuration> assigned(const Configuration &start, const QStringList &assignments)
{
    QStringList keys;
    QStringList values;
    for (const QString &a : assignments) {
        const qsizetype equals = a.indexOf(u'=');
        if (equals <= 0)
            return Result<Configuration>::failure(
                QStringLiteral("%1 is no KEY=VALUE").arg(quoted(a)));
        keys << a.left(equals).trimmed();
        values << a.mid(equals + 1);
    }
    const Result<QList<RosterRow>> rows = rowsFromTable(start, {keys, values}, true);
    if (!rows) // named by its key, as the command line has it
        return Result<Configuration>::failure(QString(rows.error())
                                                  .remove(QStringLiteral("row 1, "))
                                                  .remove(QStringLiteral("row 1: ")));
    return rows->first().config;
}

// The configuration in the form the name asks for: JSON for *.json, else
// the image (with the bits no field holds as `original` held them).
Status<> store(const QString &path, const Configuration &config, const QByteArray &original)
{
    const QByteArray bytes = isJsonName(path) ? configurationToJson(config)
                                              : withUnusedBitsOf(encodeImage(config), original);
    return writeFileSafely(outputPath(path), bytes);
}

int listPresets()
{
    QString text;
    for (const Preset &p : Presets)
        text += QStringLiteral("%1  %2\n")
                    .arg(QString::fromLatin1(p.name).leftJustified(9), QLatin1String(p.what));
    return writeOut(text.toUtf8()) ? Success : OutputFailed;
}

// The assignments that make a preset, with the callsign given, if any.
QStringList presetAssignments(const Preset *chosen, const std::optional<QString> &callsign)
{
    QStringList assignments;
    if (callsign)
        assignments << QStringLiteral("callsign=") + *callsign;
    if (chosen)
        for (const auto &[key, value] : chosen->set1)
            assignments
                << QStringLiteral("set1.%1=%2").arg(QLatin1String(key), QLatin1String(value));
    return assignments;
}

} // namespace

int newCommand(const Invocation &i)
{
    const QString name = i.given("--preset") ? i.value("--preset") : QString();
    if (name == QLatin1String("list"))
        return listPresets();
    if (i.arguments.isEmpty())
        return usage(QStringLiteral("new takes OUT"), "new");
    const Preset *chosen = name.isEmpty() ? nullptr : preset(name);
    if (!name.isEmpty() && !chosen)
        return usage(QStringLiteral("there is no preset %1; tavlo-image new --preset list names "
                                    "them")
                         .arg(quoted(name)),
                     "new");
    const Result<Configuration> config = assigned(
        Configuration(),
        presetAssignments(chosen, i.given("--callsign") ? std::optional(i.value("--callsign"))
                                                        : std::nullopt));
    if (!config)
        return fail(Refused, config.error());
    const QString out = i.arguments.first();
    if (const QString problem = terminalProblem(QString(), isJsonName(out) ? QString() : out);
        !problem.isEmpty())
        return usage(problem, "new");
    if (const Status<> saved = store(out, *config, QByteArray()); !saved)
        return fail(Refused,
                    QStringLiteral("Could not save %1: %2").arg(printable(out), saved.error()));
    if (!i.given("--callsign") && !i.has("--quiet"))
        say(QStringLiteral("%1 has no callsign yet: tavlo-image set %1 callsign=YOURCALL")
                .arg(printable(out)));
    return Success;
}

int setCommand(const Invocation &i)
{
    const QString file = i.arguments.first();
    if (file == QLatin1String("-"))
        return usage(QStringLiteral("set changes a file in place: name the file"), "set");
    const Result<QByteArray, InputProblem> image = readImageInput(file);
    if (!image)
        return fail(image.error().isUsage() ? Usage : Refused, image.error().message);
    const Result<Configuration> start = decodeImage(*image);
    if (!start)
        return fail(Refused, QStringLiteral("%1 is %2").arg(printable(file), start.error()));
    // An erased memory, or its erased parts, start blank, as in a new window.
    const Result<Configuration> config =
        assigned(withoutErased(*start, erasedParts(*image)), i.arguments.mid(1));
    if (!config)
        return fail(Refused, QStringLiteral("%1: %2").arg(printable(file), config.error()));
    if (!i.has("--quiet"))
        for (const Finding &finding : adviseOn(*config))
            say(QStringLiteral("%1: %2").arg(severityName(finding.severity), finding.message));
    if (const Status<> saved = store(file, *config, *image); !saved)
        return fail(Refused,
                    QStringLiteral("Could not save %1: %2").arg(printable(file), saved.error()));
    return Success;
}

int listsCommand(const Invocation &)
{
    QString text;
    for (const SetField &field : SetFields) {
        if (!field.list)
            continue;
        text += QStringLiteral("%1 (setN.%2):\n")
                    .arg(QString::fromLatin1(field.title), QLatin1String(field.key));
        const QStringList &entries = field.list();
        for (qsizetype k = 0; k < entries.size(); ++k)
            text += QStringLiteral("  %1  %2\n").arg(k, 3).arg(printable(entries.at(k), -1));
        text += u'\n';
    }
    return writeOut(text.toUtf8()) ? Success : OutputFailed;
}

} // namespace tavlo::cli
