// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet.h"

#include "advice.h"
#include "displaytext.h"
#include "files.h"
#include "fleetdevice.h"
#include "image.h"
#include "imagediff.h"
#include "imagefile.h"
#include "imageinput.h"
#include "roster.h"
#include "stopsignals.h"
#include "systemview.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <deque>
#include <memory>

namespace tavlo::cli {

namespace {

// A roster of thousands of rows is a few megabytes; a larger file is refused
// whole, never cut.
constexpr qint64 LargestRoster = 16 * 1024 * 1024;

// Where the system puts a link for each USB serial adapter plugged in.
const char DefaultWatchDir[] = "/dev/serial/by-id";
constexpr int WatchEveryMs = 250;
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
    FleetOptions options;
    QString error;
};

int number(const Arguments &a, const char *name, int high, int fallback, QString &error)
{
    if (!a.given(name))
        return fallback;
    bool ok = false;
    const int n = a.value(name).toInt(&ok);
    if ((!ok || n < 0 || n > high) && error.isEmpty())
        error = QStringLiteral("%1 takes a whole number from 0 to %2")
                    .arg(QLatin1String(name))
                    .arg(high);
    return n;
}

FleetArgs parse(const Arguments &a, const QStringList &files)
{
    FleetArgs f;
    f.ports = a.all("--port");
    f.watch = a.has("--watch");
    f.watchDir = a.given("--watch") ? a.value("--watch") : QString::fromLatin1(DefaultWatchDir);
    f.report = a.value("--report");
    f.json = a.has("--json");
    f.quiet = a.has("--quiet");
    f.allowDuplicates = a.has("--allow-duplicates");
    f.options.backupDir =
        a.given("--backup-dir") ? a.value("--backup-dir") : QStringLiteral("fleet-backups");
    f.options.retries = number(a, "--retries", 1000, 0, f.error);
    f.options.settleMs = number(a, "--settle", 60000, 1000, f.error);
    for (const char *other : {"--trace", "--any-length", "--strict", "--backup"})
        if ((a.has(other) || a.given(other)) && f.error.isEmpty())
            f.error = QStringLiteral("fleet does not take %1").arg(QLatin1String(other));
    if (!f.error.isEmpty())
        return f;
    if (files.size() != 2)
        f.error = QStringLiteral("fleet takes TEMPLATE and ROSTER");
    else if (f.ports.isEmpty() == !f.watch)
        f.error = QStringLiteral("fleet takes --port PORT, once for each device, or --watch");
    else if (a.given("--report") && f.report.isEmpty())
        f.error = QStringLiteral("--report needs a file name");
    else {
        f.templ = files.at(0);
        f.roster = files.at(1);
    }
    return f;
}

// The USB serial number of the adapter behind `port`, where there is one.
QString serialNumberOf(const QString &port)
{
    const QString device = QFileInfo(port).canonicalFilePath();
    for (const PortDescription &d : availablePorts())
        if (d.name == device || d.name == port)
            return d.serialNumber;
    return QString();
}

// The station a row makes: its callsign and the SSID of each set, as the
// device stores them.
QByteArray stationOf(const QByteArray &image)
{
    QByteArray station = image.left(CallsignLength).toUpper();
    for (int s = 0; s < SetCount; ++s)
        station.append(char(image.at(CallsignLength + s * SetBlockSize) & 0x0F));
    return station;
}

// Two trackers with one callsign and SSID are one station twice on the air.
QString duplicateRows(const QList<RosterRow> &rows)
{
    QHash<QByteArray, const RosterRow *> first;
    for (const RosterRow &row : rows) {
        const QByteArray station = stationOf(row.image);
        const RosterRow *before = first.value(station);
        if (!before) {
            first.insert(station, &row);
            continue;
        }
        const QString ssid = before->config.sets[0].ssid.trimmed();
        return QStringLiteral("rows %1 and %2 are both %3: give each tracker a callsign or SSID "
                              "of its own, or --allow-duplicates")
            .arg(before->number)
            .arg(row.number)
            .arg(before->callsign + (ssid.isEmpty() || ssid == u"0" ? QString() : u'-' + ssid));
    }
    return QString();
}

// Bits of the template that no field holds reach every device as they are;
// what its other bytes lose by being opened and saved again is said.
QList<RosterRow> keepTemplateBits(QList<RosterRow> rows, const QByteArray &templ,
                                  const Configuration &opened)
{
    for (RosterRow &row : rows)
        row.image = withUnusedBitsOf(row.image, templ);
    const QByteArray again = withUnusedBitsOf(encodeImage(opened), templ);
    if (const Result<ImageDiff> lost = diffImages(templ.left(ImageSize), again);
        lost && !lost->isEmpty())
        say(QStringLiteral("the template holds bytes that no field shows, which every device "
                           "gets as saving writes them: %1")
                .arg(diffLines(*lost).join(QStringLiteral("; "))));
    return rows;
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
    const Result<QList<RosterRow>> rows = readRoster(*templ, *csv);
    if (!rows)
        return Rows::failure(QStringLiteral("%1: %2").arg(printable(f.roster), rows.error()));
    if (const QString twice = f.allowDuplicates ? QString() : duplicateRows(*rows);
        !twice.isEmpty())
        return Rows::failure(QStringLiteral("%1: %2").arg(printable(f.roster), twice));
    return keepTemplateBits(*rows, *image, *templ);
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
    return inputProblem(f, QStringLiteral("roster"), f.roster);
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

// A tracker this run wrote to, known by what it is: its device node while
// that is present, its adapter's serial number, and the image it holds.
struct Tracker {
    int row = 0;
    QString port;   // as it appeared
    QString device; // where it led
    QString serial;
    SystemView::Node node;
    QByteArray image;
    QString backup;
    QString result;

    bool isSame(const SystemView::Node &other, const QString &otherSerial) const
    {
        return node.isSameNode(other) || (!serial.isEmpty() && serial == otherSerial);
    }
};

// The devices of one run, their progress lines on a terminal, the report.
class FleetRun : public QObject {
public:
    FleetRun(const FleetArgs &args, QList<RosterRow> rows)
        : m_args(args)
        , m_board(files::isTerminal(files::StandardError))
    {
        m_args.options.programmedWith = [this](const QByteArray &memory) {
            for (const Tracker &t : m_programmed)
                if (t.image == memory)
                    return t.row;
            return 0;
        };
        for (RosterRow &row : rows)
            m_queue.push_back(std::move(row));
        m_total = int(m_queue.size());
        m_drawTimer.setSingleShot(true);
        connect(&m_drawTimer, &QTimer::timeout, this, &FleetRun::draw);
        connect(&m_watchTimer, &QTimer::timeout, this, &FleetRun::lookForPorts);
        connect(&m_stopSignals, &StopSignals::received, this, &FleetRun::stopAll);
    }

    int run()
    {
        if (m_args.watch) {
            m_seen = portsIn(m_args.watchDir);
            say(QStringLiteral("watching %1: plug in a tracker (%2 to program)")
                    .arg(printable(m_args.watchDir))
                    .arg(countOf(m_total, "row", "rows")));
            m_watchTimer.start(WatchEveryMs);
        } else {
            for (const QString &port : m_args.ports) {
                if (m_queue.empty())
                    break;
                startDevice(port, port);
            }
        }
        if (!finishedAll())
            m_loop.exec();
        eraseBoard();
        for (const RosterRow &row : m_queue)
            record(DeviceResult{row.number, row.callsign, QString(), QString(), false,
                                QStringLiteral("not done: no device took it"), QString()});
        if (!writeReport())
            return Refused;
        sayHalfWritten();
        if (const int signal = StopSignals::caught())
            return 128 + signal;
        return m_verified == m_total && m_halfWritten.isEmpty() ? Success : DeviceFailure;
    }

private:
    static QStringList portsIn(const QString &dir)
    {
        return QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                                   QDir::Name);
    }

    // A link that appeared since the last look is a tracker plugged in; one
    // that went away may come again as the next tracker.
    void lookForPorts()
    {
        forgetNodesGone();
        const QStringList now = portsIn(m_args.watchDir);
        for (const QString &name : now) {
            if (m_seen.contains(name) || m_queue.empty())
                continue;
            m_seen << name;
            const QString link = QDir(m_args.watchDir).filePath(name);
            const QString device = m_system.resolved(link);
            if (const QString why = notAPort(link, device); !why.isEmpty())
                say(QStringLiteral("%1 left alone: %2").arg(printable(link), why));
            else
                startDevice(device, link);
        }
        for (qsizetype i = m_seen.size() - 1; i >= 0; --i)
            if (!now.contains(m_seen.at(i)))
                m_seen.removeAt(i);
    }

    // Why a name that appeared is not taken for a tracker: in a folder others
    // may write to, a name another user planted, or one that leads to
    // anything but a device, or to a port already being programmed.
    QString notAPort(const QString &link, const QString &device) const
    {
        const SystemView::Node node = m_system.node(link);
        if (node.uid != 0 && node.uid != m_system.userId())
            return QStringLiteral("another user put it there");
        const SystemView::Node target = m_system.node(device);
        if (device.isEmpty() || !target.isCharDevice)
            return QStringLiteral("it leads to no serial port");
        for (const auto &d : m_devices)
            if (m_system.node(d->port()).isSameNode(target))
                return QStringLiteral("its port is being programmed already");
        for (const Tracker &t : m_programmed)
            if (t.node.isSameNode(target))
                return QStringLiteral("it is the tracker that row %1 was written to, on %2")
                    .arg(t.row)
                    .arg(printable(t.port));
        return QString();
    }

    // A node is a tracker's only while it is there: a node made anew may
    // come with the same numbers.
    void forgetNodesGone()
    {
        for (QList<Tracker> *list : {&m_programmed, &m_halfWritten})
            for (Tracker &t : *list)
                if (t.node.exists && !m_system.node(t.device).isSameNode(t.node))
                    t.node = SystemView::Node();
    }

    void sayHalfWritten()
    {
        for (const Tracker &t : m_halfWritten)
            say(QStringLiteral("%1 is left with a half-written image of row %2 (%3); %4")
                    .arg(printable(t.port))
                    .arg(t.row)
                    .arg(t.result, t.backup.isEmpty()
                                       ? QStringLiteral("no backup was kept")
                                       : QStringLiteral("what it held before is in %1")
                                             .arg(printable(t.backup))));
    }

    // Which trackers hold what, once one has ended.
    void keepTrack(const DeviceResult &result, const QString &device, const SystemView::Node &node,
                   const QByteArray &image)
    {
        const Tracker tracker{result.row, result.port, device,        result.serial,
                              node,       image,       result.backup, result.result};
        // A tracker that comes back and is programmed is no longer half-written.
        m_halfWritten.removeIf([&](const Tracker &t) { return t.isSame(node, result.serial); });
        if (result.verified)
            m_programmed << tracker;
        else if (result.written != Written::Nothing)
            m_halfWritten << tracker;
    }

    void startDevice(const QString &open, const QString &shown)
    {
        RosterRow row = std::move(m_queue.front());
        m_queue.pop_front();
        auto device =
            std::make_unique<FleetDevice>(row, open, serialNumberOf(open), m_args.options);
        FleetDevice *d = device.get();
        connect(d, &FleetDevice::changed, this, [this] {
            if (!m_drawTimer.isActive())
                m_drawTimer.start(DrawEveryMs);
        });
        const QString node = m_system.resolved(open);
        connect(d, &FleetDevice::finished, this,
                [this, d, shown, node, was = m_system.node(node)](const DeviceResult &result) {
                    DeviceResult r = result;
                    r.port = shown;
                    finished(d, r, node, was);
                });
        m_devices.push_back(std::move(device));
        d->start();
    }

    void finished(FleetDevice *d, const DeviceResult &result, const QString &device,
                  const SystemView::Node &node)
    {
        if (result.alreadyHolds > 0) {
            // Nothing was written: the row waits for another tracker.
            say(QStringLiteral("%1 %2").arg(printable(result.port), result.result));
            m_queue.push_front(d->row());
        } else {
            record(result);
            keepTrack(result, device, node, d->row().image);
            if (result.verified)
                ++m_verified;
            else if (m_args.watch && !StopSignals::caught())
                m_queue.push_front(d->row()); // offered to the next tracker that appears
        }
        if (m_args.watch && !StopSignals::caught())
            say(QStringLiteral("%1: unplug it").arg(printable(result.port)));
        for (auto it = m_devices.begin(); it != m_devices.end(); ++it)
            if (it->get() == d) {
                it->release()->deleteLater();
                m_devices.erase(it);
                break;
            }
        if (finishedAll())
            m_loop.quit();
    }

    bool finishedAll() const
    {
        if (!m_devices.empty())
            return false;
        if (StopSignals::caught())
            return true;
        return m_args.watch ? m_verified == m_total : true;
    }

    void stopAll()
    {
        m_watchTimer.stop();
        for (const auto &d : m_devices)
            d->stop();
        if (finishedAll())
            m_loop.quit();
    }

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
        for (const auto &d : m_devices)
            text += QStringLiteral("row %1 %2 %3: %4\n")
                        .arg(d->row().number)
                        .arg(d->row().callsign, printable(d->port()), d->status())
                        .toUtf8();
        writeError(text);
        m_drawn = int(m_devices.size());
    }

    void eraseBoard()
    {
        if (!m_board || m_drawn == 0)
            return;
        writeError(QStringLiteral("\x1b[%1A\x1b[J").arg(m_drawn).toUtf8());
        m_drawn = 0;
    }

    FleetArgs m_args;
    bool m_board = false;
    QList<Tracker> m_programmed;  // verified, each with its row
    QList<Tracker> m_halfWritten; // written to, not verified, and not programmed since
    int m_drawn = 0;
    bool m_outputClosed = false;
    int m_total = 0;
    int m_verified = 0;
    std::deque<RosterRow> m_queue;
    std::vector<std::unique_ptr<FleetDevice>> m_devices;
    QList<DeviceResult> m_results;
    QStringList m_seen;
    QTimer m_watchTimer;
    QTimer m_drawTimer;
    StopSignals m_stopSignals;
    QEventLoop m_loop;
    RealSystemView m_system;
};

} // namespace

int fleetCommand(const Arguments &arguments, const QStringList &files)
{
    const FleetArgs f = parse(arguments, files);
    if (!f.error.isEmpty())
        return usage(f.error);
    if (const QString problem = argumentsProblem(f); !problem.isEmpty())
        return fail(Usage, problem);
    const Result<QList<RosterRow>> rows = readRows(f);
    if (!rows)
        return fail(Usage, rows.error());
    if (!f.watch && f.ports.size() > rows->size())
        return usage(QStringLiteral("%1 for %2: give one --port for each row")
                         .arg(countOf(f.ports.size(), "port", "ports"),
                              countOf(rows->size(), "row", "rows")));
    if (!f.quiet)
        for (const RosterRow &row : *rows)
            for (const Finding &finding : adviseOn(row.config))
                say(QStringLiteral("row %1: %2: %3")
                        .arg(row.number)
                        .arg(severityName(finding.severity), finding.message));
    if (!QDir().mkpath(f.options.backupDir))
        return fail(Refused, QStringLiteral("Could not make the backup folder %1")
                                 .arg(printable(f.options.backupDir)));
    if (!f.report.isEmpty())
        if (const Status<> writable = files::checkWritable(outputPath(f.report)); !writable)
            return fail(
                Refused,
                QStringLiteral("Could not save %1: %2").arg(printable(f.report), writable.error()));
    return FleetRun(f, *rows).run();
}

} // namespace tavlo::cli
