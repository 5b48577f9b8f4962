// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink.h"

#include "protocol.h"
#include "serialport.h"
#include "ticker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <functional>

namespace tavlo {

using namespace protocol;

DeviceLink::DeviceLink(SerialPort &port, Ticker &ticker, LinkHost &host, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_ticker(ticker)
    , m_host(host)
{
    // Connected once: a pause a hundred times a second should not connect anew each time.
    connect(&m_ticker, &Ticker::tick, this, &DeviceLink::onTick);
    connect(&m_port, &SerialPort::readyRead, this, &DeviceLink::onReadyRead);
    connect(&m_port, &SerialPort::lost, this, [this] {
        if (m_waiting)
            endWait(WaitEnd::PortLost);
        if (m_busy) {
            m_lostWhileBusy = true; // the running action ends with it
            return;
        }
        reportPortLost(m_port.name());
        emit portClosed();
    });
}

bool DeviceLink::isPortOpen() const
{
    return m_port.isOpen();
}

QString DeviceLink::portName() const
{
    return m_port.name();
}

bool DeviceLink::choosePort(const QString &name)
{
    if (m_busy)
        return false;
    if (m_port.isOpen())
        m_port.close();
    if (!m_port.open(name)) {
        LinkProblem failed = problem(LinkProblem::Kind::OpenFailed);
        failed.port = name;
        failed.openFailure = m_port.openFailure();
        failed.reason = m_port.errorString();
        m_host.report(failed);
        emit portClosed();
        return false;
    }
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    send(WakeUp);
    return true;
}

void DeviceLink::closePort()
{
    if (m_port.isOpen())
        m_port.close();
}

void DeviceLink::abort()
{
    m_aborted = true;
    closePort();
    if (m_waiting)
        endWait(WaitEnd::Aborted);
}

void DeviceLink::stop()
{
    m_stopRequested = true;
    if (m_waiting && m_waiting->kind != WaitKind::ResetHold)
        endWait(WaitEnd::Stopped);
}

void DeviceLink::send(const QByteArray &bytes)
{
    m_port.write(bytes);
}

// Processes events until `done` holds, with the timer running meanwhile. A
// wait for a reply ends after ReplyTimeout in which no byte arrived.
DeviceLink::WaitEnd DeviceLink::wait(const std::function<bool()> &done, WaitKind kind)
{
    const WaitEnd end = waitWithTimer(done, kind);
    m_ticker.stop(); // no timer runs between waits, nor while a question waits
    return end;
}

DeviceLink::WaitEnd DeviceLink::waitWithTimer(const std::function<bool()> &done, WaitKind kind)
{
    const bool stoppable = kind != WaitKind::ResetHold;
    if (m_aborted)
        return WaitEnd::Aborted;
    if (stoppable && m_stopRequested)
        return WaitEnd::Stopped;
    if (m_lostWhileBusy || (kind == WaitKind::Reply && !m_port.isOpen()))
        return WaitEnd::PortLost;
    if (done())
        return WaitEnd::Done;

    QEventLoop loop;
    Waiting waiting{done, kind, loop};
    waiting.seen = m_port.bytesAvailable();
    Waiting *outer = std::exchange(m_waiting, &waiting);
    if (kind == WaitKind::Reply)
        m_ticker.start(); // a pause started its timer when it began
    loop.exec();
    m_waiting = outer;
    if (m_aborted)
        return WaitEnd::Aborted;
    if (waiting.end != WaitEnd::Done && stoppable && m_stopRequested)
        return WaitEnd::Stopped;
    return waiting.end;
}

void DeviceLink::endWait(WaitEnd end)
{
    m_waiting->end = end;
    m_waiting->loop.quit();
}

void DeviceLink::onTick()
{
    if (!m_waiting)
        return;
    m_pauseCount += PauseStep;
    if (m_waiting->kind == WaitKind::Reply) {
        const qint64 now = m_port.bytesAvailable();
        m_waiting->idleTicks = now > m_waiting->seen ? 0 : m_waiting->idleTicks + 1;
        m_waiting->seen = now;
        if (m_waiting->idleTicks >= ReplyTimeout.count())
            return endWait(WaitEnd::TimedOut);
    }
    if (m_waiting->done())
        endWait(WaitEnd::Done);
}

void DeviceLink::onReadyRead()
{
    if (m_waiting && m_waiting->kind == WaitKind::Reply && m_waiting->done())
        endWait(WaitEnd::Done);
}

DeviceLink::WaitEnd DeviceLink::pauseFor(int n, WaitKind kind)
{
    startPause();
    return finishPause(n, kind);
}

// The pause runs from here: what the caller does before finishPause() is
// part of it, not added to it.
void DeviceLink::startPause()
{
    m_pauseCount = 0;
    m_ticker.start();
}

DeviceLink::WaitEnd DeviceLink::finishPause(int n, WaitKind kind)
{
    if (n > 0)
        return wait([this, n] { return m_pauseCount >= n; }, kind);
    m_ticker.stop();
    QCoreApplication::processEvents();
    if (m_aborted)
        return WaitEnd::Aborted;
    if (m_stopRequested && kind != WaitKind::ResetHold)
        return WaitEnd::Stopped;
    return m_lostWhileBusy ? WaitEnd::PortLost : WaitEnd::Done;
}

void DeviceLink::throwUnlessDone(WaitEnd end)
{
    if (end != WaitEnd::Done)
        throw Interrupted{end};
}

void DeviceLink::throwIfInterruptedMeanwhile()
{
    if (m_aborted)
        throw Interrupted{WaitEnd::Aborted};
    if (m_stopRequested)
        throw Interrupted{WaitEnd::Stopped};
    if (m_lostWhileBusy || !m_port.isOpen())
        throw Interrupted{WaitEnd::PortLost};
}

bool DeviceLink::pause(int n)
{
    return pauseFor(n) == WaitEnd::Done;
}

bool DeviceLink::settle(std::chrono::milliseconds time)
{
    return pause(pauseUnits(std::chrono::ceil<Tick>(time)));
}

void DeviceLink::resetDevice()
{
    try {
        resetOrThrow();
    } catch (const Interrupted &) {
    }
}

void DeviceLink::pauseOrThrow(int n)
{
    throwUnlessDone(pauseFor(n));
}

// Lowering both lines while the port stays open is the reset itself, and the
// port stays ours throughout. A port without the lines (a pseudo-terminal,
// some adapters) drops them only by closing; it is closed then, and kept
// claimed until it is opened again.
void DeviceLink::resetOrThrow()
{
    if (!m_port.isOpen())
        return;
    const QString name = m_port.name();
    const bool dtr = m_port.setDataTerminalReady(false);
    const bool rts = m_port.setRequestToSend(false);
    const bool keptOpen = dtr && rts;
    if (!keptOpen)
        m_port.hangUp();
    throwUnlessDone(pauseFor(pauseUnits(ResetHold), WaitKind::ResetHold));
    if (!keptOpen && !m_port.open(name))
        throw Interrupted{WaitEnd::NotReopened};
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    send(WakeUp);
}

// The reset that ends an action whose verdict stands: a port that would not
// open again is reported, and the verdict is kept.
void DeviceLink::finalResetOrThrow()
{
    try {
        resetOrThrow();
    } catch (const Interrupted &stop) {
        if (stop.reason != WaitEnd::NotReopened)
            throw;
        m_host.report(notReopened(problem(LinkProblem::Kind::ReopenFailed)));
        emit portClosed();
    }
}

// What the port said when it would not open again after a reset.
LinkProblem DeviceLink::notReopened(LinkProblem p)
{
    p.openFailure = m_port.openFailure();
    p.reason = m_port.errorString();
    closePort();
    return p;
}

void DeviceLink::waitForBytesOrThrow(qint64 count)
{
    if (count > 0)
        throwUnlessDone(
            wait([this, count] { return m_port.bytesAvailable() >= count; }, WaitKind::Reply));
}

bool DeviceLink::checkPort()
{
    if (m_port.isOpen())
        return true;
    m_host.report(problem(LinkProblem::Kind::NoPort));
    return false;
}

LinkProblem DeviceLink::problem(LinkProblem::Kind kind) const
{
    LinkProblem p;
    p.kind = kind;
    p.port = m_port.name();
    p.duringWrite = m_busy && m_imageSent >= 0;
    p.written = written();
    p.bytesWritten = std::max<qint64>(m_imageSent, 0);
    p.imageSize = m_imageSize;
    return p;
}

DeviceLink::Outcome DeviceLink::interrupted(WaitEnd reason)
{
    if (reason == WaitEnd::Aborted) {
        closePort();
        return Outcome::Aborted;
    }
    m_host.progressHide();
    m_host.setStatusTone(StatusTone::ButtonText);
    switch (reason) {
    case WaitEnd::Stopped:
        m_host.setStage(LinkStage::Stopped);
        try {
            resetOrThrow(); // leaves no device in write mode with half an image
        } catch (const Interrupted &again) {
            return interrupted(again.reason);
        }
        m_stopRequested = false;
        return Outcome::Stopped;
    case WaitEnd::TimedOut: {
        const bool nothing = m_replyExpected < 0;
        LinkProblem missing =
            problem(nothing ? LinkProblem::Kind::NoReply : LinkProblem::Kind::ReplyCutShort);
        missing.received = m_replyReceived + m_port.bytesAvailable();
        missing.expected = m_replyExpected;
        m_host.setStage(nothing ? LinkStage::NoReply : LinkStage::ReplyCutShort);
        try {
            resetOrThrow();
        } catch (const Interrupted &again) {
            return interrupted(again.reason);
        }
        m_host.report(missing);
        return Outcome::NoReply;
    }
    case WaitEnd::NotReopened: {
        const LinkProblem failed = notReopened(problem(LinkProblem::Kind::ReopenFailed));
        m_host.setStage(LinkStage::PortLost);
        m_host.report(failed);
        emit portClosed();
        return Outcome::PortLost;
    }
    case WaitEnd::PortLost:
    case WaitEnd::Done:
    case WaitEnd::Aborted:
        break;
    }
    const QString name = m_port.name();
    closePort();
    m_host.setStage(LinkStage::PortLost);
    reportPortLost(name);
    emit portClosed();
    return Outcome::PortLost;
}

// One report for a port that vanished, whatever call noticed it first.
void DeviceLink::reportPortLost(const QString &name)
{
    LinkProblem lost = problem(LinkProblem::Kind::PortLost);
    lost.port = name;
    m_host.report(lost);
}

DeviceLink::Outcome DeviceLink::savedButPortLost(const QString &path, WaitEnd reason)
{
    LinkProblem lost = problem(LinkProblem::Kind::SavedButPortLost);
    lost.path = path;
    if (reason == WaitEnd::NotReopened)
        lost = notReopened(lost);
    closePort();
    m_host.setStage(LinkStage::PortLost);
    m_host.report(lost);
    emit portClosed();
    return Outcome::SavedResetFailed;
}

} // namespace tavlo
