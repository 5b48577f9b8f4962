// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serialport.h"

#include <QByteArray>
#include <QString>
#include <QTimer>

namespace tavlo {

// The serial port on Windows, over the system's own calls: \\.\COMn opened
// exclusively (no other program can have it meanwhile, so no lock files) at
// 9600 baud, 8 data bits, no parity, one stop bit, no flow control, and every
// byte passing unchanged both ways. Reads never wait: the link polls on its
// ticks, and a poll of its own here wakes the waits and notices a port that
// went away.
class WinSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit WinSerialPort(QObject *parent = nullptr);
    ~WinSerialPort() override;

    bool open(const QString &name) override;
    void close() override;
    bool isOpen() const override { return m_handle != nullptr; }
    QString name() const override { return m_name; }
    OpenFailure openFailure() const override { return m_failure; }
    QString errorString() const override { return m_error; }
    bool setDataTerminalReady(bool on) override;
    bool setRequestToSend(bool on) override;
    void write(const QByteArray &bytes) override;
    qint64 bytesAvailable() const override;
    QByteArray readAll() override;

    // The name CreateFile takes: \\.\COM12 for COM12 (a plain name reaches
    // only COM1 to COM9).
    static QString deviceName(const QString &name);

private:
    bool configure();
    bool fail(OpenFailure failure, unsigned long error);
    void poll();
    void goneAway(unsigned long error);

    void *m_handle = nullptr; // a HANDLE; none while closed
    QString m_name;
    OpenFailure m_failure = OpenFailure::None;
    QString m_error;
    QTimer m_poll;
};

} // namespace tavlo
