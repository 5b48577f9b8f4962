// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "portlock.h"
#include "serialport.h"

#include <QString>

class QSerialPort;

namespace tavlo {

// The serial port over QSerialPort, where there are lock files.
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

private:
    void onError(int error);

    QSerialPort *m_port = nullptr;
    QString m_name;
    PortClaim m_claim; // the port's lock file while a reset has it closed
    OpenFailure m_failure = OpenFailure::None;
    QString m_error;
};

} // namespace tavlo
