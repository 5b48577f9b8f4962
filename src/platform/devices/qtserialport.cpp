// SPDX-License-Identifier: GPL-3.0-or-later
#include "qtserialport.h"

#include "displaytext.h"
#include "portlock.h"
#include "systemview.h"

#include <QFileInfo>
#include <QSerialPort>

namespace tavlo {

namespace {

constexpr qint64 ReceiveBuffer = 1024;

// Qt reports "permission denied", "busy" and "locked by another process" all
// as a permission error; the text and the lock file tell them apart.
OpenFailure classify(QSerialPort::SerialPortError error, const QString &text, const QString &name)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return OpenFailure::NotFound;
    case QSerialPort::PermissionError: {
        const QString lower = text.toLower();
        if (lower.contains(QLatin1String("busy")) || lower.contains(QLatin1String("lock")) ||
            lower.contains(QLatin1String("in use")))
            return OpenFailure::Busy;
#ifndef Q_OS_WIN
        const QString lockFile = QStringLiteral("/var/lock/LCK..") + QFileInfo(name).fileName();
        if (QFileInfo::exists(lockFile))
            return OpenFailure::Busy;
#endif
        return OpenFailure::PermissionDenied;
    }
    default:
        return OpenFailure::Other;
    }
}

// Why the lock of another program keeps the port, with what to do about a
// lock that no running program holds.
QString lockedBy(const LockFileState &lock)
{
    if (lock.kind == LockFileState::Kind::Live)
        return QStringLiteral("it is ") + lock.text();
    return QStringLiteral("it has %1; fix: %2").arg(lock.text(), lock.removeCommand());
}

} // namespace

QtSerialPort::QtSerialPort(QObject *parent)
    : SerialPort(parent)
    , m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(m_port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtSerialPort::~QtSerialPort() = default;

bool QtSerialPort::open(const QString &name)
{
    m_name = name;
    m_failure = OpenFailure::None;
    m_error.clear();
    // Qt removes a lock file it finds stale by its own rules, which another
    // program's lock can meet: look first, and lock the port by where it leads.
    const QString resolved = resolvedPortName(name);
    const PortLockCheck locks = checkPortLocks(RealSystemView(), name, resolved);
    for (const QString &removed : locks.removed)
        emit notice(removed);
    // The serial library writes its own lock file where a reset's claim is.
    m_claim.release();
    if (locks.busy) {
        m_failure = locks.holder.kind == LockFileState::Kind::Live ? OpenFailure::Busy
                                                                   : OpenFailure::LockInDoubt;
        m_error = lockedBy(locks.holder);
        return false;
    }
    m_port->setPortName(resolved);
    m_port->setBaudRate(QSerialPort::Baud9600);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->setReadBufferSize(ReceiveBuffer);
    if (!m_port->open(QIODevice::ReadWrite)) {
        m_error = m_port->errorString();
        m_failure = classify(m_port->error(), m_error, name);
        return false;
    }
    if (!lockDescriptor(m_port->handle())) {
        m_port->close();
        m_failure = OpenFailure::Busy;
        m_error = QStringLiteral("another program has it open");
        return false;
    }
    m_port->clear(); // Qt does not drop old input on open
    return true;
}

void QtSerialPort::close()
{
    m_claim.release();
    if (m_port->isOpen())
        m_port->close();
}

void QtSerialPort::hangUp()
{
    if (!m_port->isOpen())
        return;
    const QString resolved = resolvedPortName(m_name);
    m_port->close();
    // From the moment the serial library's lock is gone; if another program
    // got in first, the reopen says who.
    m_claim.take(resolved);
}

bool QtSerialPort::isOpen() const
{
    return m_port->isOpen();
}

bool QtSerialPort::setDataTerminalReady(bool on)
{
    return m_port->isOpen() && m_port->setDataTerminalReady(on);
}

bool QtSerialPort::setRequestToSend(bool on)
{
    return m_port->isOpen() && m_port->setRequestToSend(on);
}

void QtSerialPort::write(const QByteArray &bytes)
{
    if (!m_port->isOpen())
        return;
    m_port->write(bytes);
    m_port->flush(); // out now, not when the event loop next comes round
}

qint64 QtSerialPort::bytesAvailable() const
{
    return m_port->isOpen() ? m_port->bytesAvailable() : 0;
}

QByteArray QtSerialPort::readAll()
{
    return m_port->isOpen() ? m_port->readAll() : QByteArray();
}

void QtSerialPort::onError(int error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
    case QSerialPort::WriteError:
        // Qt repeats these in a tight loop until the port is closed.
        if (m_port->isOpen()) {
            // A vanished device shows up as whatever call failed first, often
            // an ioctl ("Inappropriate ioctl for device"): say what happened.
            m_error = error == QSerialPort::ResourceError
                          ? QStringLiteral("it was unplugged or closed by the other side")
                          : m_port->errorString();
            m_port->close();
            emit lost(m_error);
        }
        break;
    default:
        // NoError comes with every open, and a port without modem-control
        // lines reports setting them as unsupported: neither is a failure.
        break;
    }
}

} // namespace tavlo

#include "moc_qtserialport.cpp"
