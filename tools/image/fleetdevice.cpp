// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleetdevice.h"

#include "displaytext.h"
#include "files.h"
#include "linkwords.h"
#include "protocol.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

namespace tavlo::cli {

namespace {

// The wake-up ESC after the last reset is on its way when the port closes;
// a device that sees the port close at once may never receive it.
constexpr int LingerMs = 100;

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

} // namespace

FleetDevice::FleetDevice(RosterRow row, QString port, QString serial, FleetOptions options,
                         QObject *parent)
    : QObject(parent)
    , m_row(std::move(row))
    , m_port(std::move(port))
    , m_serial(std::move(serial))
    , m_options(std::move(options))
    , m_retriesLeft(m_options.retries)
{
    connect(&m_session, &LinkSession::ended, this, &FleetDevice::onEnded);
    connect(&m_session, &LinkSession::progress, this, [this](qint64 done, qint64 total) {
        const QString what =
            m_step == Step::Write ? QStringLiteral("writing") : QStringLiteral("reading");
        setStatus(
            QStringLiteral("%1 %2%").arg(what).arg(int(100 * done / std::max<qint64>(total, 1))));
    });
    connect(&m_session, &LinkSession::portLost, this, [this] {
        if (m_step != Step::Closing)
            finishNow(QStringLiteral("port lost: ") + holds());
    });
}

void FleetDevice::start()
{
    setStatus(QStringLiteral("opening"));
    if (!m_session.open(m_port)) {
        QString reason = m_serialPort.errorString();
        if (const QString advice = openFailureAdvice(m_serialPort.openFailure()); !advice.isEmpty())
            reason += u' ' + advice;
        return finishNow(QStringLiteral("not written: the port would not open: ") + reason);
    }
    m_step = Step::Settle;
    setStatus(QStringLiteral("waking"));
    m_session.startPause(
        std::chrono::ceil<protocol::Tick>(std::chrono::milliseconds(m_options.settleMs)));
}

void FleetDevice::stop()
{
    m_stopped = true;
    m_session.stop();
}

void FleetDevice::onEnded(TransferEnd end)
{
    switch (end) {
    case TransferEnd::Done:
        return onDone();
    case TransferEnd::Stopped:
        return resetThen(QStringLiteral("stopped: ") + holds(), m_verified);
    case TransferEnd::TimedOut:
        if (m_step == Step::Backup)
            return resetThen(QStringLiteral("not written: no reply"), false);
        return resetThen(QStringLiteral("no reply to the verify: ") + holds(), false);
    case TransferEnd::NotReopened:
        return finishNow(m_result +
                         QStringLiteral(" (the port would not open again after the reset)"));
    case TransferEnd::PortLost:
    case TransferEnd::Aborted:
        break;
    }
    if (m_step == Step::Reset) // the verdict stands
        return finishNow(m_result + QStringLiteral(" (the port went away during the reset)"));
    finishNow(QStringLiteral("port lost: ") + holds());
}

void FleetDevice::onDone()
{
    switch (m_step) {
    case Step::Settle:
        m_step = Step::Backup;
        setStatus(QStringLiteral("reading the backup"));
        m_session.startDump();
        return;
    case Step::Backup:
        return backupArrived();
    case Step::Write:
        m_step = Step::Verify;
        setStatus(QStringLiteral("verifying"));
        m_session.startDump();
        return;
    case Step::Verify:
        m_step = Step::Compare;
        m_session.startPause(protocol::ByteGap);
        return;
    case Step::Compare:
        return compare();
    case Step::Reset:
        return finishNow(m_result);
    case Step::Opening:
    case Step::Closing:
        break;
    }
}

// Nothing is written to a device whose memory is not saved first.
void FleetDevice::backupArrived()
{
    const DumpReply &reply = m_session.reply();
    if (!reply.isStandard())
        return resetThen(QStringLiteral("not written: the reply is not a memory dump (%1)")
                             .arg(words::whatAnswered(reply)),
                         false);
    const QString path = backupName(m_options.backupDir, m_row.callsign, m_port, m_serial);
    if (const Status<> saved = files::writeFileSafely(path, reply.memory()); !saved)
        return resetThen(QStringLiteral("not written: the backup %1 could not be saved: %2")
                             .arg(printable(path), saved.error()),
                         false);
    m_backup = path;
    m_step = Step::Write;
    setStatus(QStringLiteral("writing"));
    m_session.startWrite(m_row.image);
}

void FleetDevice::compare()
{
    const DumpReply &reply = m_session.reply();
    m_verified = reply.isStandard() && reply.memory() == m_row.image;
    if (m_verified)
        return resetThen(QStringLiteral("verified"), true);
    if (m_retriesLeft > 0 && reply.isStandard()) {
        --m_retriesLeft;
        m_step = Step::Write;
        setStatus(QStringLiteral("verify failed, writing again"));
        m_session.startWrite(m_row.image);
        return;
    }
    resetThen(reply.isStandard() ? QStringLiteral("verify failed")
                                 : QStringLiteral("verify failed: the reply is not a memory dump"),
              false);
}

// Every device ends reset, whatever happened before: none is left in write
// mode with half an image.
void FleetDevice::resetThen(const QString &result, bool verified)
{
    m_result = result;
    m_verified = verified;
    m_step = Step::Reset;
    setStatus(QStringLiteral("resetting"));
    m_session.clearStop();
    m_session.startReset();
}

void FleetDevice::finishNow(const QString &result)
{
    if (m_step == Step::Closing)
        return;
    m_step = Step::Closing;
    m_result = result;
    m_result.replace(u'\n', u' '); // one line a device
    if (m_stopped && !result.startsWith(QLatin1String("stopped")) && !m_verified)
        m_result.prepend(QStringLiteral("stopped: "));
    setStatus(m_result);
    DeviceResult done{m_row.number, m_row.callsign, m_port,  m_serial,
                      m_verified,   m_result,       m_backup};
    QTimer::singleShot(m_session.isOpen() ? LingerMs : 0, this, [this, done] {
        m_session.close();
        emit finished(done);
    });
}

// What the device holds now, as far as this run knows.
QString FleetDevice::holds() const
{
    if (m_verified)
        return QStringLiteral("the row is written and verified");
    const qint64 sent = m_step < Step::Write ? -1 : m_session.bytesWritten();
    if (sent <= 0)
        return QStringLiteral("nothing was written");
    if (sent < m_session.imageSize())
        return QStringLiteral("only %1 of %2 bytes were written: part old, part new")
            .arg(sent)
            .arg(m_session.imageSize());
    return QStringLiteral("everything was written but not verified");
}

void FleetDevice::setStatus(const QString &text)
{
    if (text == m_status)
        return;
    m_status = text;
    emit changed();
}

} // namespace tavlo::cli
