// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink.h"

#include "displaytext.h"
#include "imagefile.h"
#include "protocol.h"
#include "serialport.h"
#include "ticker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <functional>

namespace tavlo {

namespace {

using namespace protocol;

// Pause counts PauseStep a tick.
constexpr int units(Tick ticks)
{
    return ticks.count() * DeviceLink::PauseStep;
}
constexpr int WritePause = units(ByteGap);

} // namespace

// Marks the link busy for one action.
class DeviceLink::BusyScope {
public:
    explicit BusyScope(DeviceLink &link)
        : m_link(link)
    {
        m_link.m_busy = true;
        m_link.m_aborted = false;
        m_link.m_lostWhileBusy = false;
        m_link.m_imageSent = -1;
        m_link.m_imageSize = 0;
        emit m_link.busyChanged(true);
    }
    ~BusyScope()
    {
        m_link.m_busy = false;
        emit m_link.busyChanged(false);
    }

private:
    DeviceLink &m_link;
};

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
    TimerB += PauseStep;
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
    TimerB = 0;
    m_ticker.start();
}

DeviceLink::WaitEnd DeviceLink::finishPause(int n, WaitKind kind)
{
    if (n > 0)
        return wait([this, n] { return TimerB >= n; }, kind);
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

bool DeviceLink::Pause(int n)
{
    return pauseFor(n) == WaitEnd::Done;
}

bool DeviceLink::settle(std::chrono::milliseconds time)
{
    return Pause(units(std::chrono::ceil<Tick>(time)));
}

void DeviceLink::ResetDevice()
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

// The lines drop while the port is still open: closing alone lowers them only
// where the port hangs up on close, which pseudo-terminals and some adapters do not.
void DeviceLink::resetOrThrow()
{
    if (!m_port.isOpen())
        return;
    const QString name = m_port.name();
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    m_port.close();
    throwUnlessDone(pauseFor(units(ResetHold), WaitKind::ResetHold));
    if (!m_port.open(name))
        throw Interrupted{WaitEnd::PortLost};
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    send(WakeUp);
}

void DeviceLink::waitForBytesOrThrow(qint64 count)
{
    if (count > 0)
        throwUnlessDone(
            wait([this, count] { return m_port.bytesAvailable() >= count; }, WaitKind::Reply));
}

// The reply is complete when the count byte and as many bytes as it
// announces have come and the device then stays quiet for ReplyQuiet: stray
// bytes, another device or a wrong count show up as a reply that is not exact.
DumpReply DeviceLink::dumpExchangeOrThrow()
{
    m_port.readAll(); // whatever the device sent before does not belong to the reply
    m_replyReceived = 0;
    m_replyExpected = -1;
    m_lastReply = DumpReply{};
    send(DumpCommand);
    waitForBytesOrThrow(1);
    DumpReply reply;
    reply.bytes = m_port.readAll();
    if (reply.bytes.isEmpty())
        throw Interrupted{WaitEnd::PortLost};
    reply.count = static_cast<unsigned char>(reply.bytes.at(0));
    m_replyReceived = reply.bytes.size();
    m_replyExpected = reply.count + 1;
    waitForBytesOrThrow(m_replyExpected - reply.bytes.size());
    reply.bytes += m_port.readAll();
    if (reply.isExact()) {
        pauseOrThrow(units(ReplyQuiet));
        reply.bytes += m_port.readAll();
    }
    m_lastReply = reply;
    return reply;
}

bool DeviceLink::acceptable(const DumpReply &reply, ReplyUse use)
{
    if (reply.isStandard())
        return true;
    const bool accepted = m_host.acceptReply(reply, use);
    throwIfInterruptedMeanwhile();
    return accepted;
}

// Nothing is saved or written from such a reply; the device is reset as at
// the end of every action, so whatever it is in, it leaves.
DeviceLink::Outcome DeviceLink::notADump(LinkStage stage)
{
    m_host.progressHide();
    resetOrThrow();
    m_host.setStatusTone(StatusTone::ButtonText);
    m_host.setStage(stage);
    return Outcome::NotADump;
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

DeviceLink::Written DeviceLink::written() const
{
    if (m_imageSent <= 0)
        return Written::Nothing;
    return m_imageSent < m_imageSize ? Written::Part : Written::All;
}

// One report for a port that vanished, whatever call noticed it first.
void DeviceLink::reportPortLost(const QString &name)
{
    LinkProblem lost = problem(LinkProblem::Kind::PortLost);
    lost.port = name;
    m_host.report(lost);
}

DeviceLink::Outcome DeviceLink::savedButPortLost(const QString &path)
{
    LinkProblem lost = problem(LinkProblem::Kind::SavedButPortLost);
    lost.path = path;
    closePort();
    m_host.setStage(LinkStage::PortLost);
    m_host.report(lost);
    emit portClosed();
    return Outcome::SavedResetFailed;
}

// ESC "D", then every byte of the file and the filler, each followed by a tick.
void DeviceLink::sendImage(const QByteArray &file)
{
    const qint64 n = file.size();
    const qint64 filler = fillerCount(n);
    const qint64 total = n + filler;
    m_host.progressBegin(FillColour::Red);
    m_host.setStage(LinkStage::WriteStarted);
    m_host.setStatusTone(StatusTone::Highlight);
    m_imageSize = n;
    m_imageSent = 0;
    send(WriteCommand);
    pauseOrThrow(WritePause);
    for (qint64 i = 1; i <= n; ++i) {
        const auto b = static_cast<unsigned char>(file.at(i - 1));
        send(QByteArray(1, char(b)));
        m_imageSent = i;
        startPause(); // the device's tick begins with the byte, not after the display
        m_host.progressFill(i, total);
        m_host.byteWritten(b);
        throwUnlessDone(finishPause(WritePause));
    }
    // Devices expect the filler after a long file; it is never verified.
    for (qint64 j = 1; j <= filler; ++j) {
        send(QByteArray(1, Filler));
        startPause();
        m_host.progressFill(n + j, total);
        throwUnlessDone(finishPause(WritePause));
    }
    pauseOrThrow(0);
    m_host.progressMark();
    pauseOrThrow(WritePause);
    m_host.progressEmpty(FillColour::Green);
    m_host.setStage(LinkStage::WriteFinished);
    m_host.setStage(LinkStage::VerifyStarted);
}

// Compares every byte of the file with the reply; the count byte is not compared.
bool DeviceLink::verifyAgainst(const QByteArray &file, const QByteArray &reply)
{
    m_mismatches.clear();
    for (qint64 i = 1; i <= file.size(); ++i) {
        if (i >= reply.size() || reply.at(i) != file.at(i - 1))
            m_mismatches.append(i - 1);
        m_host.progressFill(i, file.size());
    }
    return m_mismatches.isEmpty();
}

void DeviceLink::wrapUpWrite()
{
    m_host.progressHide();
    resetOrThrow();
    m_host.setStatusTone(StatusTone::ButtonText);
}

// What writing and verifying share: a port and no other action.
template <typename Action>
DeviceLink::Outcome DeviceLink::withImage(const QByteArray &image, Action action)
{
    if (!checkPort())
        return Outcome::NoPort;
    if (m_busy)
        return Outcome::Busy;
    BusyScope busy(*this);
    m_mismatches.clear();
    m_imageSize = image.size();
    return action(image);
}

DeviceLink::Outcome DeviceLink::verifyEnded(bool failed)
{
    m_host.setStage(failed ? LinkStage::VerifyFailed : LinkStage::VerifyCompleted);
    return failed ? Outcome::VerifyFailed : Outcome::Completed;
}

DeviceLink::Outcome DeviceLink::writeAndVerify(const QByteArray &image, const QString &backup)
{
    return withImage(image,
                     [&](const QByteArray &bytes) { return writeAndVerifyImage(bytes, backup); });
}

// Reads the device into the backup; anything but Completed means nothing may be written.
DeviceLink::Outcome DeviceLink::saveBackup(const QString &backup)
{
    const DumpReply reply = dumpExchangeOrThrow();
    if (!acceptable(reply, ReplyUse::Backup))
        return notADump(LinkStage::ReadFailed);
    if (const Status<> saved = writeFileSafely(backup, reply.memory()); !saved) {
        resetOrThrow(); // as a read ends; nothing was written
        m_host.setStage(LinkStage::ReadFailed);
        LinkProblem unsaved = problem(LinkProblem::Kind::BackupNotSaved);
        unsaved.path = backup;
        unsaved.reason = saved.error();
        m_host.report(unsaved);
        return Outcome::SaveFailed;
    }
    return Outcome::Completed;
}

// Every pass writes and verifies the same bytes, read once by the caller.
DeviceLink::Outcome DeviceLink::writeAndVerifyImage(const QByteArray &image, const QString &backup)
{
    bool failed = false;
    try {
        if (image.size() != ImageSize) {
            const bool anyway = m_host.confirmLength(image.size());
            throwIfInterruptedMeanwhile();
            if (!anyway)
                return Outcome::Cancelled;
        }
        if (!backup.isEmpty())
            if (const Outcome saved = saveBackup(backup); saved != Outcome::Completed)
                return saved;
        for (;;) {
            sendImage(image);
            const DumpReply reply = dumpExchangeOrThrow();
            if (!acceptable(reply, ReplyUse::Verify))
                return notADump(LinkStage::VerifyFailed);
            m_host.progressBegin(FillColour::Green);
            pauseOrThrow(WritePause);
            failed = !verifyAgainst(image, reply.bytes);
            if (!failed)
                break;
            const bool again = m_host.askRetry();
            throwIfInterruptedMeanwhile();
            if (!again)
                break;
        }
        wrapUpWrite();
    } catch (const Interrupted &stop) {
        return interrupted(stop.reason);
    }
    return verifyEnded(failed);
}

DeviceLink::Outcome DeviceLink::verifyOnly(const QByteArray &image)
{
    return withImage(image, [this](const QByteArray &bytes) {
        bool failed = false;
        try {
            m_host.setStage(LinkStage::VerifyStarted);
            const DumpReply reply = dumpExchangeOrThrow();
            if (!acceptable(reply, ReplyUse::Verify))
                return notADump(LinkStage::VerifyFailed);
            m_host.progressBegin(FillColour::Green);
            failed = !verifyAgainst(bytes, reply.bytes);
            m_host.progressHide();
            resetOrThrow();
        } catch (const Interrupted &stop) {
            return interrupted(stop.reason);
        }
        return verifyEnded(failed);
    });
}

DeviceLink::Outcome DeviceLink::readToFile()
{
    if (!checkPort())
        return Outcome::NoPort;
    if (m_busy)
        return Outcome::Busy;
    BusyScope busy(*this);
    QString path;
    Status<> saved = Status<>::failure(QString());
    try {
        m_host.setStage(LinkStage::ReadStarted);
        const DumpReply reply = dumpExchangeOrThrow();
        if (!acceptable(reply, ReplyUse::Read))
            return notADump(LinkStage::ReadFailed);
        const auto chosen = m_host.askSaveFile();
        throwIfInterruptedMeanwhile();
        if (!chosen)
            return Outcome::Cancelled;
        path = *chosen;
        saved = writeFileSafely(path, reply.memory());
        resetOrThrow();
    } catch (const Interrupted &stop) {
        if (saved && stop.reason == WaitEnd::PortLost)
            return savedButPortLost(path);
        return interrupted(stop.reason);
    }
    if (!saved) {
        m_host.setStage(LinkStage::ReadFailed);
        LinkProblem unsaved = problem(LinkProblem::Kind::SaveFailed);
        unsaved.path = path;
        unsaved.reason = saved.error();
        m_host.report(unsaved);
        return Outcome::SaveFailed;
    }
    m_host.setStage(LinkStage::ReadFinished);
    return Outcome::Completed;
}

} // namespace tavlo
