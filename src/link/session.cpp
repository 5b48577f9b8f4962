// SPDX-License-Identifier: GPL-3.0-or-later
#include "session.h"

#include "serialport.h"
#include "ticker.h"
#include "transfer.h"

#include <QRegularExpression>

namespace tavlo {

using namespace protocol;

bool DumpReply::isNmea() const
{
    // "$", a talker of two letters and a sentence of three, then a comma.
    static const QRegularExpression sentence(QStringLiteral("\\$[A-Z]{5},"));
    return sentence.match(QString::fromLatin1(bytes)).hasMatch();
}

LinkSession::LinkSession(SerialPort &port, Ticker &ticker, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_ticker(ticker)
{
    connect(&m_ticker, &Ticker::tick, this, [this] {
        if (m_current)
            m_current->tick();
    });
    connect(&m_port, &SerialPort::readyRead, this, [this] {
        if (m_current)
            m_current->bytesArrived();
    });
    connect(&m_port, &SerialPort::lost, this, [this] {
        if (m_current)
            finish(TransferEnd::PortLost);
        else
            emit portLost(m_port.name());
    });
}

LinkSession::~LinkSession()
{
    m_ticker.stop();
}

bool LinkSession::open(const QString &name)
{
    if (m_current)
        return false;
    if (m_port.isOpen())
        m_port.close();
    if (!m_port.open(name))
        return false;
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    send(WakeUp);
    return true;
}

void LinkSession::close()
{
    if (m_port.isOpen())
        m_port.close();
}

bool LinkSession::isOpen() const
{
    return m_port.isOpen();
}

bool LinkSession::startPause(Tick ticks)
{
    return begin(std::make_unique<PauseTransfer>(*this, ticks.count()), false);
}

bool LinkSession::startWrite(const QByteArray &image)
{
    return begin(std::make_unique<WriteTransfer>(*this, image), true);
}

bool LinkSession::startDump()
{
    return begin(std::make_unique<DumpTransfer>(*this), true);
}

bool LinkSession::startReset()
{
    return begin(std::make_unique<ResetTransfer>(*this), false);
}

// A transfer that ends as it begins (stopped, or nothing to do) ends on the
// next pass of the event loop, so that ended() never comes inside start*().
bool LinkSession::begin(std::unique_ptr<Transfer> transfer, bool needsPort)
{
    if (m_current || (needsPort && !m_port.isOpen()))
        return false;
    m_current = std::move(transfer);
    if (m_stopRequested && m_current->stoppable())
        finishSoon(TransferEnd::Stopped);
    else
        m_current->begin();
    return true;
}

void LinkSession::finish(TransferEnd end)
{
    if (!m_current)
        return;
    m_ticker.stop(); // no timer runs between transfers
    m_retired.push_back(std::move(m_current));
    QMetaObject::invokeMethod(
        this, [this] { m_retired.clear(); }, Qt::QueuedConnection);
    emit ended(end);
}

void LinkSession::finishSoon(TransferEnd end)
{
    Transfer *running = m_current.get();
    QMetaObject::invokeMethod(
        this,
        [this, running, end] {
            if (m_current.get() == running)
                finish(end);
        },
        Qt::QueuedConnection);
}

// The running transfer ends on the next pass of the event loop, before its
// next tick: what it does in this step (a byte and its report) stays whole.
void LinkSession::stop()
{
    m_stopRequested = true;
    if (m_current && m_current->stoppable())
        finishSoon(TransferEnd::Stopped);
}

void LinkSession::abort()
{
    close();
    finish(TransferEnd::Aborted);
}

void LinkSession::send(const QByteArray &bytes)
{
    m_port.write(bytes);
}

void LinkSession::restartTicks()
{
    m_ticker.start(); // a fresh interval from now
}

void LinkSession::stopTicks()
{
    m_ticker.stop();
}

// The write.

WriteTransfer::WriteTransfer(LinkSession &session, QByteArray image)
    : Transfer(session)
    , m_image(std::move(image))
    , m_filler(fillerCount(m_image.size()))
{
}

void WriteTransfer::begin()
{
    session().m_imageSize = m_image.size();
    session().m_imageSent = 0;
    emit session().phase(LinkPhase::Writing);
    if (sendByte(WriteCommand))
        restartTicks();
}

void WriteTransfer::tick()
{
    if (now() - m_sentAt < ByteGap)
        return; // too soon: the next tick comes a whole interval after the last byte
    if (m_state != State::Settle)
        return sendNext();
    finish(TransferEnd::Done);
}

bool WriteTransfer::sendByte(const QByteArray &bytes)
{
    m_sentAt = now();
    return sendAndGoOn(bytes);
}

// The device's tick begins with the byte, not after the display.
void WriteTransfer::sendNext()
{
    const qint64 total = m_image.size() + m_filler;
    qint64 &sent = session().m_imageSent;
    if (sent < m_image.size()) {
        const auto b = static_cast<unsigned char>(m_image.at(sent));
        ++sent;
        if (!sendByte(QByteArray(1, char(b))))
            return;
        restartTicks();
        m_state = State::Image;
        emit session().progress(sent, total);
        emit session().byteWritten(b);
        return;
    }
    // Devices expect the filler after a long image; it is never verified.
    if (m_fillerSent < m_filler) {
        ++m_fillerSent;
        if (!sendByte(QByteArray(1, Filler)))
            return;
        restartTicks();
        m_state = State::Filler;
        emit session().progress(m_image.size() + m_fillerSent, total);
        return;
    }
    m_state = State::Settle;
    emit session().phase(LinkPhase::Settling);
    restartTicks();
}

// The dump.

void DumpTransfer::begin()
{
    port().readAll(); // whatever the device sent before does not belong to the reply
    session().m_reply = DumpReply{};
    session().m_replyExpected = -1;
    emit session().phase(LinkPhase::Reading);
    if (sendAndGoOn(DumpCommand))
        await(1);
}

// Waits for `count` bytes in all: at once if they are there, otherwise on
// ticks, until ReplyTimeout passes with no byte arriving.
void DumpTransfer::await(qint64 count)
{
    m_awaited = count;
    if (arrived())
        return advance();
    m_seen = port().bytesAvailable();
    m_idleTicks = 0;
    restartTicks();
}

bool DumpTransfer::arrived()
{
    return port().bytesAvailable() >= m_awaited;
}

void DumpTransfer::tick()
{
    if (m_state == State::Quiet) {
        if (++m_quietTicks >= ReplyQuiet.count()) {
            session().m_reply.bytes += port().readAll();
            finish(TransferEnd::Done);
        }
        return;
    }
    const qint64 now = port().bytesAvailable();
    m_idleTicks = now > m_seen ? 0 : m_idleTicks + 1;
    m_seen = now;
    reportProgress();
    if (m_idleTicks >= ReplyTimeout.count()) {
        session().m_reply.bytes += port().readAll(); // what came of a reply cut short
        return finish(TransferEnd::TimedOut);
    }
    if (arrived())
        advance();
}

void DumpTransfer::bytesArrived()
{
    reportProgress();
    if (m_state != State::Quiet && arrived())
        advance();
}

// The bytes of the reply that are there, of those its count announced.
void DumpTransfer::reportProgress()
{
    if (m_state == State::AwaitRest)
        emit session().progress(session().m_reply.received() + port().bytesAvailable(),
                                session().m_replyExpected);
}

void DumpTransfer::advance()
{
    stopTicks();
    if (m_state == State::AwaitCount)
        countArrived();
    else
        restArrived();
}

void DumpTransfer::countArrived()
{
    DumpReply &reply = session().m_reply;
    reply.bytes = port().readAll();
    if (reply.bytes.isEmpty())
        return finish(TransferEnd::PortLost);
    reply.count = static_cast<unsigned char>(reply.bytes.at(0));
    session().m_replyExpected = reply.count + 1;
    m_state = State::AwaitRest;
    const qint64 rest = session().m_replyExpected - reply.bytes.size();
    if (rest > 0)
        return await(rest);
    restArrived();
}

void DumpTransfer::restArrived()
{
    DumpReply &reply = session().m_reply;
    reply.bytes += port().readAll();
    emit session().progress(reply.received(), session().m_replyExpected);
    if (!reply.isExact())
        return finish(TransferEnd::Done);
    m_state = State::Quiet;
    m_quietTicks = 0;
    restartTicks();
}

// The reset.

// Lowering both lines while the port stays open is the reset itself, and the
// port stays ours throughout. A port without the lines (a pseudo-terminal,
// some adapters) drops them only by closing; it is closed then, and kept
// claimed until it is opened again.
void ResetTransfer::begin()
{
    emit session().phase(LinkPhase::Resetting);
    if (!port().isOpen())
        return finishSoon(TransferEnd::Done); // nothing to reset
    m_name = port().name();
    const bool dtr = port().setDataTerminalReady(false);
    const bool rts = port().setRequestToSend(false);
    m_keptOpen = dtr && rts;
    if (!m_keptOpen)
        port().hangUp();
    restartTicks();
}

void ResetTransfer::tick()
{
    if (++m_ticks < ResetHold.count())
        return;
    stopTicks();
    if (!m_keptOpen && !port().open(m_name))
        return finish(TransferEnd::NotReopened);
    port().setDataTerminalReady(true);
    port().setRequestToSend(true);
    send(WakeUp);
    finish(TransferEnd::Done);
}

// The plain pause.

void PauseTransfer::begin()
{
    emit session().phase(LinkPhase::Pausing);
    if (m_ticks <= 0)
        return finishSoon(TransferEnd::Done); // one pass of the event loop
    restartTicks();
}

void PauseTransfer::tick()
{
    if (++m_passed >= m_ticks)
        finish(TransferEnd::Done);
}

} // namespace tavlo

// The link's interfaces have no source of their own: their moc output
// compiles here, with this file's.
#include "moc_serialport.cpp"
#include "moc_session.cpp"
#include "moc_ticker.cpp"
