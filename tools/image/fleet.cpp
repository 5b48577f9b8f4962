// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet.h"

#include "advice.h"
#include "displaytext.h"
#include "files.h"
#include "fleetdevice.h"
#include "image.h"
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
    for (const PortDescription &d : QtSerialPort::availablePorts())
        if (d.name == device || d.name == port)
            return d.serialNumber;
    return QString();
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
    const Result<QByteArray> csv = files::readFile(inputPath(f.roster), LargestJson);
    if (!csv)
        return Rows::failure(
            QStringLiteral("Could not read %1: %2").arg(printable(f.roster), csv.error()));
    const Result<QList<RosterRow>> rows = readRoster(*templ, *csv);
    if (!rows)
        return Rows::failure(QStringLiteral("%1: %2").arg(printable(f.roster), rows.error()));
    return rows;
}

// Ports given twice, or that lead to a file the run writes, are refused.
QString portProblem(const FleetArgs &f)
{
    for (qsizetype i = 0; i < f.ports.size(); ++i) {
        for (qsizetype j = 0; j < i; ++j)
            if (f.ports[i] == f.ports[j] || files::isSameFile(f.ports[i], f.ports[j]))
                return QStringLiteral("%1 and %2 are the same port")
                    .arg(printable(f.ports[j]), printable(f.ports[i]));
        if (!f.report.isEmpty() && files::isSameFile(outputPath(f.report), f.ports[i]))
            return QStringLiteral("the report %1 leads to the port %2, not to a file")
                .arg(printable(f.report), printable(f.ports[i]));
    }
    return QString();
}

QString csvCell(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n'))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
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

// The devices of one run, their progress lines on a terminal, the report.
class FleetRun : public QObject {
public:
    FleetRun(const FleetArgs &args, QList<RosterRow> rows)
        : m_args(args)
        , m_board(files::isTerminal(files::StandardError))
    {
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
        if (const int signal = StopSignals::caught())
            return 128 + signal;
        return m_verified == m_total ? Success : DeviceFailure;
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
        if (device.isEmpty() || !m_system.node(device).isCharDevice)
            return QStringLiteral("it leads to no serial port");
        for (const auto &d : m_devices)
            if (d->port() == device)
                return QStringLiteral("its port is being programmed already");
        return QString();
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
        connect(d, &FleetDevice::finished, this, [this, d, shown](const DeviceResult &result) {
            DeviceResult r = result;
            r.port = shown;
            finished(d, r);
        });
        m_devices.push_back(std::move(device));
        d->start();
    }

    void finished(FleetDevice *d, const DeviceResult &result)
    {
        record(result);
        if (result.verified)
            ++m_verified;
        else if (m_args.watch && !StopSignals::caught())
            m_queue.push_front(d->row()); // offered to the next tracker that appears
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

    const FleetArgs &m_args;
    bool m_board = false;
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
    if (const QString problem = portProblem(f); !problem.isEmpty())
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
