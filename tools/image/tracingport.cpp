// SPDX-License-Identifier: GPL-3.0-or-later
#include "tracingport.h"

namespace tavlo {

namespace {

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace

TracingPort::TracingPort(SerialPort &inner, std::FILE *out)
    : m_inner(inner)
    , m_out(out)
{
    m_clock.start();
    connect(&m_inner, &SerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&m_inner, &SerialPort::lost, this, [this](const QString &reason) {
        line(QStringLiteral("lost: ") + reason);
        emit lost(reason);
    });
}

void TracingPort::line(const QString &text)
{
    std::fprintf(m_out, "%10.3f %s\n", m_clock.nsecsElapsed() / 1e6, qPrintable(text));
    std::fflush(m_out);
}

bool TracingPort::open(const QString &name)
{
    const bool opened = m_inner.open(name);
    line(QStringLiteral("open %1%2").arg(name, opened ? QString() : QStringLiteral(" failed")));
    return opened;
}

void TracingPort::close()
{
    const bool wasOpen = m_inner.isOpen();
    m_inner.close();
    line(wasOpen ? QStringLiteral("close") : QStringLiteral("close (was not open)"));
}

void TracingPort::lineChange(const char *lineName, bool on, bool done)
{
    QString text = QStringLiteral("%1 %2").arg(QLatin1String(lineName),
                                               on ? QLatin1String("on") : QLatin1String("off"));
    if (!done)
        text += m_inner.isOpen() ? QStringLiteral(" failed: the port has no such line")
                                 : QStringLiteral(" failed: the port is closed");
    line(text);
}

bool TracingPort::setDataTerminalReady(bool on)
{
    const bool done = m_inner.setDataTerminalReady(on);
    lineChange("DTR", on, done);
    return done;
}

bool TracingPort::setRequestToSend(bool on)
{
    const bool done = m_inner.setRequestToSend(on);
    lineChange("RTS", on, done);
    return done;
}

void TracingPort::write(const QByteArray &bytes)
{
    line(QStringLiteral("> ") + hex(bytes));
    m_inner.write(bytes);
}

QByteArray TracingPort::readAll()
{
    const QByteArray bytes = m_inner.readAll();
    if (!bytes.isEmpty())
        line(QStringLiteral("< ") + hex(bytes));
    return bytes;
}

} // namespace tavlo
