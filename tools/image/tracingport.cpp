// SPDX-License-Identifier: GPL-3.0-or-later
#include "tracingport.h"

namespace tavlo {

namespace {

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace

TracingPort::TracingPort(SerialPort &inner, std::function<void(const QByteArray &)> out)
    : m_inner(inner)
    , m_out(std::move(out))
{
    m_clock.start();
    connect(&m_inner, &SerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&m_inner, &SerialPort::lost, this, [this](const QString &reason) {
        line(QStringLiteral("lost: ") + reason);
        emit lost(reason);
    });
    connect(&m_inner, &SerialPort::notice, this,
            [this](const QString &text) { line(QStringLiteral("note: ") + text); });
}

void TracingPort::line(const QString &text)
{
    // QString::number always writes "." whatever the locale says.
    const QString time = QString::number(double(m_clock.nsecsElapsed()) / 1e6, 'f', 3);
    m_out((time.rightJustified(10) + u' ' + text + u'\n').toUtf8());
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

void TracingPort::hangUp()
{
    const bool wasOpen = m_inner.isOpen();
    m_inner.hangUp();
    line(wasOpen ? QStringLiteral("close (the port stays locked)")
                 : QStringLiteral("close (was not open)"));
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

#include "moc_tracingport.cpp"
