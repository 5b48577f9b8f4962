// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet.h"

#include "advice.h"
#include "csv.h"
#include "displaytext.h"
#include "files.h"
#include "fleetrun.h"
#include "image.h"
#include "imagefile.h"
#include "imageinput.h"
#include "stopsignals.h"

#include <QDir>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace tavlo::cli {

namespace {

// A roster of thousands of rows is a few megabytes; a larger file is refused
// whole, never cut.
constexpr qint64 LargestRoster = 16 * 1024 * 1024;

// Where the system puts a link for each USB serial adapter plugged in.
const char DefaultWatchDir[] = "/dev/serial/by-id";
constexpr int DrawEveryMs = 100;

struct FleetArgs {
    QString templ;
    QString roster;
    QStringList ports;
    bool watch = false;
    QString watchDir;
    QString report;
    bool json = false;
    bool quiet = false;
    bool allowDuplicates = false;
    QString resume; // an earlier report, whose verified rows are done
    FleetOptions options;
    QString error;
};

FleetArgs parse(const Invocation &i)
{
    FleetArgs f;
    f.ports = i.all("--port");
    f.watch = i.has("--watch");
    f.watchDir = i.given("--watch") ? i.value("--watch") : QString::fromLatin1(DefaultWatchDir);
    f.report = i.value("--report");
    f.json = i.has("--json");
    f.quiet = i.has("--quiet");
    f.allowDuplicates = i.has("--allow-duplicates");
    f.resume = i.value("--resume");
    f.options.backupDir =
        i.given("--backup-dir") ? i.value("--backup-dir") : QStringLiteral("fleet-backups");
    f.options.retries = i.number("--retries", 0);
    f.options.settleMs = i.number("--settle", 1000);
    if (f.ports.isEmpty() == !f.watch)
        f.error = QStringLiteral("fleet takes --port PORT, once for each device, or --watch");
    else if (i.given("--report") && f.report.isEmpty())
        f.error = QStringLiteral("--report needs a file name");
    else if (i.given("--resume") && f.resume.isEmpty())
        f.error = QStringLiteral("--resume needs the report of an earlier run");
    f.templ = i.arguments.value(0);
    f.roster = i.arguments.value(1);
    return f;
}

// Every row checked before a port is opened: the save checks refuse, the
// advice is said and stops nothing.
Result<QList<RosterRow>> readRows(const FleetArgs &f)
{
    using Rows = Result<QList<RosterRow>>;
    const Result<QByteArray, InputProblem> image = readImageInput(f.templ);
    if (!image)
        return Rows::failure(image.error().message);
    const Result<Configuration> templ = decodeImage(*image);
    if (!templ)
        return Rows::failure(QStringLiteral("%1 is neither a JSON configuration nor an image: it "
                                            "is %2")
                                 .arg(printable(f.templ), templ.error()));
    const Result<QByteArray> csv = readBoundedFile(inputPath(f.roster), LargestRoster);
    if (!csv)
        return Rows::failure(
            QStringLiteral("Could not read %1: %2").arg(printable(f.roster), csv.error()));
    const Result<QList<QStringList>> records = parseCsv(*csv);
    const Result<QList<RosterRow>> table =
        records ? rowsFromTable(*templ, *records) : Rows::failure(records.error());
    if (!table) {
        // Every bad row a line, then what they come to.
        const QStringList lines = table.error().split(u'\n');
        if (lines.size() == 1)
            return Rows::failure(QStringLiteral("%1: %2").arg(printable(f.roster), lines.first()));
        for (const QString &line : lines)
            say(QStringLiteral("%1: %2").arg(printable(f.roster), line));
        return Rows::failure(QStringLiteral("%1: %2 refused; no port was opened")
                                 .arg(printable(f.roster), countOf(lines.size(), "row", "rows")));
    }
    if (const QString twice = f.allowDuplicates ? QString() : duplicateRows(*table);
        !twice.isEmpty())
        return Rows::failure(QStringLiteral("%1: %2").arg(printable(f.roster), twice));
    QList<RosterRow> rows = *table;
    if (const QStringList lost = keepTemplateBits(rows, *image, *templ); !lost.isEmpty())
        say(QStringLiteral("the template holds bytes that no field shows, which every device "
                           "gets as saving writes them: %1")
                .arg(lost.join(QStringLiteral("; "))));
    return rows;
}

// Ports given twice, or that are a file the run reads or writes, and a report
// that would replace an input, are refused, by what each name leads to: a
// template read from a port would block, and a report over the roster would
// lose it.
QString portProblem(const FleetArgs &f, qsizetype i)
{
    const QString &port = f.ports[i];
    for (qsizetype j = 0; j < i; ++j)
        if (port == f.ports[j] || files::isSameFile(port, f.ports[j]))
            return QStringLiteral("%1 and %2 are the same port")
                .arg(printable(f.ports[j]), printable(port));
    if (!f.report.isEmpty() && files::isSameFile(outputPath(f.report), port))
        return QStringLiteral("the report %1 leads to the port %2, not to a file")
            .arg(printable(f.report), printable(port));
    return QString();
}

QString inputProblem(const FleetArgs &f, const QString &what, const QString &name)
{
    for (const QString &port : f.ports)
        if (files::isSameFile(inputPath(name), port))
            return QStringLiteral("the %1 %2 leads to the port %3, not to a file")
                .arg(what, printable(name), printable(port));
    if (!f.report.isEmpty() && files::isSameFile(outputPath(f.report), inputPath(name)))
        return QStringLiteral("the report %1 is the %2: refusing to overwrite it")
            .arg(printable(f.report), what);
    return QString();
}

QString argumentsProblem(const FleetArgs &f)
{
    for (qsizetype i = 0; i < f.ports.size(); ++i)
        if (const QString problem = portProblem(f, i); !problem.isEmpty())
            return problem;
    if (const QString problem = inputProblem(f, QStringLiteral("template"), f.templ);
        !problem.isEmpty())
        return problem;
    if (!f.resume.isEmpty())
        for (const QString &port : f.ports)
            if (files::isSameFile(inputPath(f.resume), port))
                return QStringLiteral("the earlier report %1 leads to the port %2, not to a file")
                    .arg(printable(f.resume), printable(port));
    return inputProblem(f, QStringLiteral("roster"), f.roster);
}

// A report's cell as it was before csvCell() kept it from being a formula.
QString cellText(const QString &cell)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    return cell.size() > 1 && cell.front() == u'\'' && formulaStarts.contains(cell.at(1))
               ? cell.mid(1)
               : cell;
}

// The rows an earlier report marks verified, as it gave them.
Result<QList<DeviceResult>> verifiedBefore(const QString &report)
{
    using Results = Result<QList<DeviceResult>>;
    const Result<QByteArray> text = readBoundedFile(inputPath(report), LargestRoster);
    if (!text)
        return Results::failure(
            QStringLiteral("Could not read %1: %2").arg(printable(report), text.error()));
    const Result<QList<QStringList>> records = parseCsv(*text);
    const QStringList header = records ? records->value(0) : QStringList();
    const auto column = [&header](const char *name) {
        return header.indexOf(QLatin1String(name));
    };
    if (!records || column("row") < 0 || column("callsign") < 0 || column("done") < 0)
        return Results::failure(QStringLiteral("%1 is no fleet report: its header has no row, "
                                               "callsign and done")
                                    .arg(printable(report)));
    QList<DeviceResult> verified;
    for (const QStringList &record : records->mid(1)) {
        if (record.value(column("done")) != u"verified")
            continue;
        DeviceResult r;
        r.row = record.value(column("row")).toInt();
        r.callsign = cellText(record.value(column("callsign")));
        r.port = cellText(record.value(column("port")));
        r.serial = cellText(record.value(column("serial")));
        r.verified = true;
        r.result = cellText(record.value(column("result")));
        r.backup = cellText(record.value(column("backup")));
        verified << r;
    }
    return verified;
}

// The rows still to do: those an earlier report marks verified are left out,
// each said. A report whose row holds another callsign is of another roster.
Result<QList<RosterRow>> rowsToResume(const FleetArgs &f, const QList<RosterRow> &rows,
                                      QList<DeviceResult> &done)
{
    using Rows = Result<QList<RosterRow>>;
    const Result<QList<DeviceResult>> before = verifiedBefore(f.resume);
    if (!before)
        return Rows::failure(before.error());
    QList<RosterRow> left;
    for (const RosterRow &row : rows) {
        const auto same = std::find_if(before->begin(), before->end(),
                                       [&row](const auto &r) { return r.row == row.number; });
        if (same == before->end()) {
            left << row;
            continue;
        }
        if (same->callsign.compare(row.callsign, Qt::CaseInsensitive) != 0)
            return Rows::failure(
                QStringLiteral("%1 gives row %2 as %3, %4 as %5: is it a report "
                               "of this roster?")
                    .arg(printable(f.resume))
                    .arg(row.number)
                    .arg(printable(same->callsign), printable(f.roster), printable(row.callsign)));
        done << *same;
        say(QStringLiteral("row %1 %2: verified in %3, left out")
                .arg(row.number)
                .arg(row.callsign, printable(f.resume)));
    }
    return left;
}

// A cell a spreadsheet takes as text: one that begins as a formula would
// begin (a callsign "=HYPERLINK(...)" in the roster) gets a leading "'".
QString csvCell(const QString &text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    const QString cell =
        !text.isEmpty() && formulaStarts.contains(text.front()) ? u'\'' + text : text;
    if (!cell.contains(u',') && !cell.contains(u'"') && !cell.contains(u'\n') &&
        !cell.contains(u'\r'))
        return cell;
    return u'"' + QString(cell).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// One line a device, in the three forms the report takes.
QString reportLine(const DeviceResult &r)
{
    const QString port =
        r.serial.isEmpty() ? r.port : QStringLiteral("%1 (%2)").arg(r.port, r.serial);
    QString line =
        QStringLiteral("row %1  %2  %3  %4").arg(r.row).arg(r.callsign, printable(port), r.result);
    if (!r.backup.isEmpty())
        line += QStringLiteral("  backup %1").arg(printable(r.backup));
    return line;
}

QString csvLine(const DeviceResult &r)
{
    return QStringList{QString::number(r.row),
                       csvCell(r.callsign),
                       csvCell(r.port),
                       csvCell(r.serial),
                       r.verified ? QStringLiteral("verified") : QStringLiteral("not done"),
                       csvCell(r.result),
                       csvCell(r.backup)}
        .join(u',');
}

QByteArray jsonLine(const DeviceResult &r)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("row"), r.row},
                                     {QStringLiteral("callsign"), r.callsign},
                                     {QStringLiteral("port"), r.port},
                                     {QStringLiteral("serial"), r.serial},
                                     {QStringLiteral("verified"), r.verified},
                                     {QStringLiteral("result"), r.result},
                                     {QStringLiteral("backup"), r.backup}})
        .toJson(QJsonDocument::Compact);
}

void sayAdvice(const QList<RosterRow> &rows)
{
    for (const RosterRow &row : rows)
        for (const Finding &finding : adviseOn(row.config))
            say(QStringLiteral("row %1: %2: %3")
                    .arg(row.number)
                    .arg(severityName(finding.severity), finding.message));
}

// A fleet run on a terminal: one line a device as it ends, a status line a
// device at work redrawn in place on a terminal, the report at the end.
class FleetOnTerminal : public QObject {
public:
    FleetOnTerminal(const FleetArgs &args, FleetRun &run, QList<DeviceResult> earlier)
        : m_args(args)
        , m_run(run)
        , m_board(files::isTerminal(files::StandardError))
        , m_results(std::move(earlier))
    {
        m_drawTimer.setSingleShot(true);
        connect(&m_drawTimer, &QTimer::timeout, this, &FleetOnTerminal::draw);
        connect(&m_run, &FleetRun::changed, this, [this] {
            if (!m_drawTimer.isActive())
                m_drawTimer.start(DrawEveryMs);
        });
        connect(&m_run, &FleetRun::deviceFinished, this, &FleetOnTerminal::record);
        connect(&m_run, &FleetRun::said, this, [this](const QString &sentence) {
            eraseBoard();
            say(sentence);
            draw();
        });
        connect(&m_stopSignals, &StopSignals::received, &m_run, &FleetRun::stop);
    }

    int run()
    {
        if (m_run.total() > 0) {
            QEventLoop loop;
            connect(&m_run, &FleetRun::finished, &loop, &QEventLoop::quit);
            m_run.start();
            loop.exec();
        }
        eraseBoard();
        for (const RosterRow &row : m_run.notTaken())
            record(DeviceResult{row.number, row.callsign, QString(), QString(), false,
                                QStringLiteral("not done: no device took it"), QString()});
        if (!writeReport())
            return Refused;
        for (const Tracker &t : m_run.halfWritten())
            say(QStringLiteral("%1 is left with a half-written image of row %2 (%3); %4")
                    .arg(printable(t.port))
                    .arg(t.row)
                    .arg(t.result, t.backup.isEmpty()
                                       ? QStringLiteral("no backup was kept")
                                       : QStringLiteral("what it held before is in %1")
                                             .arg(printable(t.backup))));
        if (const int signal = StopSignals::caught())
            return 128 + signal;
        return m_run.verified() == m_run.total() && m_run.halfWritten().isEmpty() ? Success
                                                                                  : DeviceFailure;
    }

private:
    void record(const DeviceResult &result)
    {
        m_results << result;
        eraseBoard();
        // A closed output (| head) is said once; the run then stops in order.
        if (!m_outputClosed)
            m_outputClosed = !writeOut(m_args.json ? jsonLine(result) + '\n'
                                                   : reportLine(result).toUtf8() + '\n');
        draw();
    }

    bool writeReport()
    {
        if (m_args.report.isEmpty())
            return true;
        QString csv = QStringLiteral("row,callsign,port,serial,done,result,backup\n");
        for (const DeviceResult &r : m_results)
            csv += csvLine(r) + u'\n';
        if (const Status<> saved = files::writeFileSafely(outputPath(m_args.report), csv.toUtf8());
            !saved) {
            say(QStringLiteral("Could not save %1: %2")
                    .arg(printable(m_args.report), saved.error()));
            return false;
        }
        return true;
    }

    // One status line a running device, redrawn in place on a terminal.
    void draw()
    {
        if (!m_board)
            return;
        eraseBoard();
        QByteArray text;
        const QList<const FleetDevice *> devices = m_run.running();
        for (const FleetDevice *d : devices)
            text += QStringLiteral("row %1 %2 %3: %4\n")
                        .arg(d->row().number)
                        .arg(d->row().callsign, printable(d->port()), d->status())
                        .toUtf8();
        writeError(text);
        m_drawn = int(devices.size());
    }

    void eraseBoard()
    {
        if (!m_board || m_drawn == 0)
            return;
        writeError(QStringLiteral("\x1b[%1A\x1b[J").arg(m_drawn).toUtf8());
        m_drawn = 0;
    }

    const FleetArgs &m_args;
    FleetRun &m_run;
    bool m_board = false;
    QList<DeviceResult> m_results; // the report's rows, those an earlier run verified first
    int m_drawn = 0;
    bool m_outputClosed = false;
    QTimer m_drawTimer;
    StopSignals m_stopSignals;
};

} // namespace

int fleetCommand(const Invocation &invocation)
{
    const FleetArgs f = parse(invocation);
    if (!f.error.isEmpty())
        return usage(f.error, "fleet");
    if (const QString problem = argumentsProblem(f); !problem.isEmpty())
        return fail(Usage, problem);
    const Result<QList<RosterRow>> all = readRows(f);
    if (!all)
        return fail(Usage, all.error());
    QList<DeviceResult> earlier;
    const Result<QList<RosterRow>> rows = f.resume.isEmpty() ? all : rowsToResume(f, *all, earlier);
    if (!rows)
        return fail(Usage, rows.error());
    if (!f.watch && f.ports.size() > rows->size() && !rows->isEmpty())
        return usage(QStringLiteral("%1 for %2: give one --port for each row")
                         .arg(countOf(f.ports.size(), "port", "ports"),
                              countOf(rows->size(), "row", "rows")));
    if (!f.quiet)
        sayAdvice(*rows);
    if (rows->isEmpty())
        say(QStringLiteral("every row of %1 is verified in %2: no device is needed")
                .arg(printable(f.roster), printable(f.resume)));
    else if (!QDir().mkpath(f.options.backupDir))
        return fail(Refused, QStringLiteral("Could not make the backup folder %1")
                                 .arg(printable(f.options.backupDir)));
    if (!f.report.isEmpty())
        if (const Status<> writable = files::checkWritable(outputPath(f.report)); !writable)
            return fail(
                Refused,
                QStringLiteral("Could not save %1: %2").arg(printable(f.report), writable.error()));
    FleetPlan plan;
    plan.rows = *rows;
    plan.ports = f.ports;
    plan.watch = f.watch;
    plan.watchDir = f.watchDir;
    plan.options = f.options;
    RealSystemView system;
    FleetRun run(plan, system);
    return FleetOnTerminal(f, run, earlier).run();
}

} // namespace tavlo::cli
