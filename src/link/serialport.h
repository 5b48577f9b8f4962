// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace tavlo {

// Why a port could not be opened, so the operator can be told what to do.
// LockInDoubt: a lock file that no running program is known to hold (empty,
// unreadable, a link to nothing, or stale where it may not be removed).
enum class OpenFailure { None, NotFound, PermissionDenied, Busy, LockInDoubt, Other };

// The serial port the device hangs on: 9600 baud, 8 data bits, no parity, one
// stop bit, no flow control. Received data is polled; readyRead only wakes the
// waits.
class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens the port and drops whatever was received before.
    virtual bool open(const QString &name) = 0;
    virtual void close() = 0;
    // Closes the port for a device reset but keeps it claimed, so that no
    // other program takes it before open() of the same name.
    virtual void hangUp() { close(); }
    virtual bool isOpen() const = 0;
    virtual QString name() const = 0;
    virtual OpenFailure openFailure() const = 0;
    virtual QString errorString() const = 0;

    // Set a control line. False when the line did not change: a closed port,
    // or one without modem-control lines (a pseudo-terminal, some adapters).
    virtual bool setDataTerminalReady(bool on) = 0;
    virtual bool setRequestToSend(bool on) = 0;

    virtual void write(const QByteArray &bytes) = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray readAll() = 0;

signals:
    void readyRead();
    // The port went away (an adapter pulled); it is closed already.
    void lost(const QString &reason);
    // Something done on the way worth a trace: a stale lock file removed.
    void notice(const QString &text);
};

} // namespace tavlo
