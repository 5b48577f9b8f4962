// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serialport.h"

#include <QElapsedTimer>
#include <functional>

namespace tavlo {

// A serial port that hands every byte sent and received, and every change
// of the port as it really happened, to `out` as lines with a millisecond
// timestamp.
class TracingPort : public SerialPort {
    Q_OBJECT
public:
    TracingPort(SerialPort &inner, std::function<void(const QByteArray &)> out);

    bool open(const QString &name) override;
    void close() override;
    void hangUp() override;
    bool isOpen() const override { return m_inner.isOpen(); }
    QString name() const override { return m_inner.name(); }
    OpenFailure openFailure() const override { return m_inner.openFailure(); }
    QString errorString() const override { return m_inner.errorString(); }
    bool setDataTerminalReady(bool on) override;
    bool setRequestToSend(bool on) override;
    void write(const QByteArray &bytes) override;
    qint64 bytesAvailable() const override { return m_inner.bytesAvailable(); }
    QByteArray readAll() override;

private:
    void line(const QString &text);
    void lineChange(const char *lineName, bool on, bool done);

    SerialPort &m_inner;
    std::function<void(const QByteArray &)> m_out;
    QElapsedTimer m_clock;
};

} // namespace tavlo
