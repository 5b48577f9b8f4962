// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleetdevice.h"

#include "displaytext.h"
#include "files.h"
#include "imagediff.h"
#include "linkwords.h"
#include "protocol.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

namespace tavlo {

namespace {

// A name for the backup that says whose it is, from where and when, and
// holds no character a shell or another system would stumble on.
QString backupName(const QString &dir, const QString &callsign, const QString &port,
                   const QString &serial)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]+"));
    QString who = callsign;
    who.replace(unsafe, QStringLiteral("_"));
    // The adapter's serial number follows the tracker; else the port: pts_3, ttyUSB0.
    QString where = serial.isEmpty()
                        ? QString(port).remove(QRegularExpression(QStringLiteral("^/dev/")))
                        : serial;
    where.replace(unsafe, QStringLiteral("_"));
    const QString when = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = QDir(dir).filePath(QStringLiteral("%1-%2-%3").arg(who, where, when));
    QString name = base + QStringLiteral(".bin");
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = QStringLiteral("%1-%2.bin").arg(base).arg(n);
    return name;
}

// The plan of `write --backup` for one row.
RunPlan planFor(const RosterRow &row, const QString &port, const QString &backup,
                const FleetOptions &options, int &alreadyHolds)
{
    RunPlan plan;
    if (options.programmedWith)
        plan.leaveAlone = [&alreadyHolds,
                           programmedWith = options.programmedWith](const QByteArray &memory) {
            alreadyHolds = programmedWith(memory);
            return alreadyHolds > 0;
        };
    plan.action = DeviceAction::Write;
    plan.port = port;
    plan.image = row.image;
    plan.backup = backup;
    plan.retries = options.retries;
    plan.settleMs = options.settleMs;
    return plan;
}

// What the device holds otherwise than the row: "callsign, set1.path", as
// the roster's columns name them, or the bytes that no field shows.
QString differingFields(const QByteArray &image, const QByteArray &memory)
{
    constexpr qsizetype Named = 8;
    const Result<ImageDiff> diff = diffImages(image, memory);
    if (!diff)
        return QString();
    QStringList names;
    for (const FieldChange &change : diff->fields)
        names << (change.set < 0
                      ? change.field
                      : QStringLiteral("set%1.%2").arg(change.set + 1).arg(change.field));
    for (const ByteChange &change : diff->bytes)
        names << QStringLiteral("byte %1").arg(change.offset);
    if (names.size() > Named)
        return names.mid(0, Named).join(QStringLiteral(", ")) +
               QStringLiteral(" and %1 more").arg(names.size() - Named);
    return names.join(QStringLiteral(", "));
}

} // namespace

FleetDevice::FleetDevice(RosterRow row, QString port, QString serial, FleetOptions options,
                         QObject *parent)
    : QObject(parent)
    , m_row(std::move(row))
    , m_port(std::move(port))
    , m_serial(std::move(serial))
    , m_backup(backupName(options.backupDir, m_row.callsign, m_port, m_serial))
    , m_run(m_link, planFor(m_row, m_port, m_backup, options, m_alreadyHolds))
{
    connect(&m_link, &DeviceLink::stageChanged, this, [this](LinkStage stage) {
        if (stage == LinkStage::WriteStarted)
            setStatus(QStringLiteral("writing"));
        else if (stage == LinkStage::VerifyStarted)
            setStatus(QStringLiteral("verifying"));
    });
    connect(&m_run, &DeviceRun::progress, this, [this](LinkPhase phase, qint64 done, qint64 total) {
        if (total > 0)
            setStatus(QStringLiteral("%1 %2%")
                          .arg(phase == LinkPhase::Comparing ? QStringLiteral("verifying")
                                                             : QStringLiteral("writing"))
                          .arg(int(100 * done / total)));
    });
    connect(&m_run, &DeviceRun::report, this,
            [this](const LinkProblem &problem) { m_problem = words::describe(problem).message; });
    connect(&m_run, &DeviceRun::retrying, this,
            [this] { setStatus(QStringLiteral("verify failed, writing again")); });
    connect(&m_run, &DeviceRun::finished, this, &FleetDevice::ended);
    connect(&m_run, &DeviceRun::released, this, [this] { emit finished(m_result); });
}

void FleetDevice::start()
{
    setStatus(QStringLiteral("reading the backup"));
    m_run.start();
}

void FleetDevice::ended(const LinkResult &ending)
{
    if (ending.problem)
        m_problem = words::describe(*ending.problem).message;
    QString result = resultOf(ending);
    result.replace(u'\n', u' '); // one line a device
    setStatus(result);
    m_result = DeviceResult{m_row.number,
                            m_row.callsign,
                            m_port,
                            m_serial,
                            ending.end == LinkResult::End::Completed,
                            result,
                            m_run.backupSaved() ? m_backup : QString(),
                            m_run.written(),
                            m_run.leftAlone() ? m_alreadyHolds : 0};
    m_run.release(); // released() says the tracker is through
}

QString FleetDevice::resultOf(const LinkResult &ending) const
{
    using End = LinkResult::End;
    switch (ending.end) {
    case End::Completed:
        return m_problem.isEmpty() ? QStringLiteral("verified")
                                   : QStringLiteral("verified (%1)").arg(m_problem);
    case End::VerifyFailed: {
        const QString differs = differingFields(m_row.image, m_run.reply().memory());
        const QString failed = differs.isEmpty()
                                   ? QStringLiteral("verify failed")
                                   : QStringLiteral("verify failed in %1").arg(differs);
        // A link that garbles every answer garbled the backup's two reads alike.
        return m_run.backupSaved() ? failed + QStringLiteral("; the backup was read over the same "
                                                             "link and may differ from what the "
                                                             "device held")
                                   : failed;
    }
    case End::Stopped:
        return QStringLiteral("stopped: %1; the device was reset").arg(holds());
    case End::Cancelled:
        if (m_run.leftAlone())
            return QStringLiteral("left alone: it holds row %1, written by this run")
                .arg(m_alreadyHolds);
        break;
    case End::Aborted:
    case End::Failed:
        if (ending.failedWith(LinkProblem::Kind::PortLost))
            return QStringLiteral("port lost: ") + holds();
        break;
    }
    const QString what = m_run.written() == Written::Nothing ? QStringLiteral("not written: ")
                                                             : holds() + QStringLiteral(": ");
    return what + m_problem;
}

// What the device holds now, as far as this run knows.
QString FleetDevice::holds() const
{
    switch (m_run.written()) {
    case Written::Nothing:
        return QStringLiteral("nothing was written");
    case Written::Part:
        return QStringLiteral("only %1 of %2 bytes were written: part old, part new")
            .arg(m_run.bytesWritten())
            .arg(m_run.imageSize());
    case Written::All:
        break;
    }
    return QStringLiteral("everything was written but not verified");
}

void FleetDevice::setStatus(const QString &text)
{
    if (text == m_status)
        return;
    m_status = text;
    emit changed();
}

} // namespace tavlo

#include "moc_fleetdevice.cpp"
