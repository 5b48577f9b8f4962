// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "portlock.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QSerialPort;

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

// The port a Com button opens: COM1 to COM4 on Windows, the first four
// serial ports under the names the system gives them elsewhere.
QString comPortName(int index);

// What the operator can do about a port that would not open, for this
// system; empty where there is nothing to say.
QString openFailureAdvice(OpenFailure failure);

struct PortDescription {
    QString name;        // what open() takes: /dev/ttyUSB0, COM12
    QString description; // "USB-Serial Controller", may be empty
    QString manufacturer;
    QString serialNumber;
    int vendorId = -1; // USB ids, -1 where there are none
    int productId = -1;

    // "/dev/ttyUSB0 — FT232R USB UART (0403:6001)", or the name alone.
    QString shown() const;
};

// The serial port over QSerialPort.
class QtSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool open(const QString &name) override;
    void close() override;
    void hangUp() override;
    bool isOpen() const override;
    QString name() const override { return m_name; }
    OpenFailure openFailure() const override { return m_failure; }
    QString errorString() const override { return m_error; }
    bool setDataTerminalReady(bool on) override;
    bool setRequestToSend(bool on) override;
    void write(const QByteArray &bytes) override;
    qint64 bytesAvailable() const override;
    QByteArray readAll() override;

    // The serial ports the system reports.
    static QList<PortDescription> availablePorts();

private:
    void onError(int error);

    QSerialPort *m_port = nullptr;
    QString m_name;
    PortClaim m_claim; // the port's lock file while a reset has it closed
    OpenFailure m_failure = OpenFailure::None;
    QString m_error;
};

} // namespace tavlo
