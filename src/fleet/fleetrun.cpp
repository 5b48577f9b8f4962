// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleetrun.h"

#include "displaytext.h"
#include "serialports.h"

#include <QDir>
#include <QFileInfo>

namespace tavlo {

namespace {

constexpr int WatchEveryMs = 250;

// The USB serial number of the adapter behind `port`, where there is one.
QString serialNumberOf(const QString &port)
{
    const QString device = QFileInfo(port).canonicalFilePath();
    for (const PortDescription &d : availablePorts())
        if (d.name == device || d.name == port)
            return d.serialNumber;
    return QString();
}

} // namespace

FleetRun::FleetRun(FleetPlan plan, SystemView &system, QObject *parent)
    : QObject(parent)
    , m_plan(std::move(plan))
    , m_system(system)
{
    for (RosterRow &row : m_plan.rows)
        m_queue.push_back(std::move(row));
    m_plan.rows.clear();
    m_total = int(m_queue.size());
    m_plan.options.programmedWith = [this](const QByteArray &memory) {
        return programmedWith(memory);
    };
    connect(&m_watchTimer, &QTimer::timeout, this, &FleetRun::lookForPorts);
}

FleetRun::~FleetRun() = default;

void FleetRun::start()
{
    if (m_plan.watch) {
        m_seen = portsIn(m_plan.watchDir);
        emit said(QStringLiteral("watching %1: plug in a tracker (%2 to program)")
                      .arg(printable(m_plan.watchDir))
                      .arg(countOf(m_total, "row", "rows")));
        m_watchTimer.start(WatchEveryMs);
        return;
    }
    for (const QString &port : m_plan.ports) {
        if (m_queue.empty())
            break;
        startDevice(port, port);
    }
    endIfDone();
}

void FleetRun::stop()
{
    m_stopping = true;
    m_watchTimer.stop();
    for (const auto &d : m_devices)
        d->stop();
    endIfDone();
}

bool FleetRun::isDone() const
{
    if (!m_devices.empty())
        return false;
    if (m_stopping)
        return true;
    return m_plan.watch ? m_verified == m_total : true;
}

void FleetRun::endIfDone()
{
    if (isDone()) {
        m_watchTimer.stop();
        QMetaObject::invokeMethod(this, &FleetRun::finished, Qt::QueuedConnection);
    }
}

QList<const FleetDevice *> FleetRun::running() const
{
    QList<const FleetDevice *> devices;
    for (const auto &d : m_devices)
        devices << d.get();
    return devices;
}

QList<RosterRow> FleetRun::notTaken() const
{
    return QList<RosterRow>(m_queue.begin(), m_queue.end());
}

QStringList FleetRun::portsIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A link that appeared since the last look is a tracker plugged in; one
// that went away may come again as the next tracker.
void FleetRun::lookForPorts()
{
    forgetNodesGone();
    const QStringList now = portsIn(m_plan.watchDir);
    for (const QString &name : now) {
        if (m_seen.contains(name) || m_queue.empty())
            continue;
        m_seen << name;
        const QString link = QDir(m_plan.watchDir).filePath(name);
        const QString device = m_system.resolved(link);
        if (const QString why = notAPort(link, device); !why.isEmpty())
            emit said(QStringLiteral("%1 left alone: %2").arg(printable(link), why));
        else
            startDevice(device, link);
    }
    for (qsizetype i = m_seen.size() - 1; i >= 0; --i)
        if (!now.contains(m_seen.at(i)))
            m_seen.removeAt(i);
}

// Why a name that appeared is not taken for a tracker: in a folder others
// may write to, a name another user planted, or one that leads to anything
// but a device, to a port already being programmed, or to a tracker this
// run programmed.
QString FleetRun::notAPort(const QString &link, const QString &device) const
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

// A node is a tracker's only while it is there: a node made anew may come
// with the same numbers.
void FleetRun::forgetNodesGone()
{
    for (QList<Tracker> *list : {&m_programmed, &m_halfWritten})
        for (Tracker &t : *list)
            if (t.node.exists && !m_system.node(t.device).isSameNode(t.node))
                t.node = SystemView::Node();
}

int FleetRun::programmedWith(const QByteArray &memory) const
{
    for (const Tracker &t : m_programmed)
        if (t.image == memory)
            return t.row;
    return 0;
}

void FleetRun::startDevice(const QString &open, const QString &shown)
{
    RosterRow row = std::move(m_queue.front());
    m_queue.pop_front();
    auto device = std::make_unique<FleetDevice>(row, open, serialNumberOf(open), m_plan.options);
    FleetDevice *d = device.get();
    connect(d, &FleetDevice::changed, this, &FleetRun::changed);
    const QString node = m_system.resolved(open);
    connect(d, &FleetDevice::finished, this,
            [this, d, shown, node, was = m_system.node(node)](const DeviceResult &result) {
                DeviceResult r = result;
                r.port = shown;
                deviceEnded(d, r, node, was);
            });
    m_devices.push_back(std::move(device));
    d->start();
}

void FleetRun::deviceEnded(FleetDevice *device, const DeviceResult &result, const QString &node,
                           const SystemView::Node &was)
{
    if (result.alreadyHolds > 0) {
        // Nothing was written: the row waits for another tracker.
        emit said(QStringLiteral("%1 %2").arg(printable(result.port), result.result));
        m_queue.push_front(device->row());
    } else {
        keepTrack(result, node, was, device->row().image);
        if (result.verified)
            ++m_verified;
        else if (m_plan.watch && !m_stopping)
            m_queue.push_front(device->row()); // offered to the next tracker that appears
        emit deviceFinished(result);
    }
    if (m_plan.watch && !m_stopping)
        emit said(QStringLiteral("%1: unplug it").arg(printable(result.port)));
    for (auto it = m_devices.begin(); it != m_devices.end(); ++it)
        if (it->get() == device) {
            it->release()->deleteLater();
            m_devices.erase(it);
            break;
        }
    emit changed();
    endIfDone();
}

// Which trackers hold what, once one has ended.
void FleetRun::keepTrack(const DeviceResult &result, const QString &device,
                         const SystemView::Node &node, const QByteArray &image)
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

} // namespace tavlo

#include "moc_fleetrun.cpp"
