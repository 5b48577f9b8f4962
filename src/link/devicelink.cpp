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

QString checkTheCable(const QString &port)
{
    return QStringLiteral("\n\nCheck the cable, that the device has power, and that %1 is the "
                          "port it is connected to.")
        .arg(port);
}

QString openFailureMessage(const QString &name, OpenFailure failure, const QString &reason)
{
    QString message = QStringLiteral("Could not open %1: %2.").arg(printable(name), reason);
    if (const QString advice = openFailureAdvice(failure); !advice.isEmpty())
        message += QStringLiteral("\n\n") + advice;
    return message;
}

} // namespace

QString byteStatus(unsigned char byte)
{
    const QString shown = byte >= 33 && byte <= 127 ? QString(QChar(byte)) : QStringLiteral(".");
    return shown + QStringLiteral(" (") + QString::number(byte, 16).toUpper() + u')';
}

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
        m_host.report(QStringLiteral("Port"),
                      openFailureMessage(name, m_port.openFailure(), m_port.errorString()));
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
DeviceLink::Outcome DeviceLink::notADump(const QString &status)
{
    m_host.progressHide();
    resetOrThrow();
    m_host.setStatusTone(StatusTone::ButtonText);
    m_host.setStatus(status);
    return Outcome::NotADump;
}

bool DeviceLink::checkPort()
{
    if (m_port.isOpen())
        return true;
    m_host.report(QStringLiteral("No COM port selected"),
                  QStringLiteral("Please select COM port!"));
    return false;
}

QString DeviceLink::noReplyMessage() const
{
    const QString port = printable(m_port.name());
    if (m_replyExpected < 0)
        return QStringLiteral("No reply from the device on %1.").arg(port) + checkTheCable(port);
    const qint64 received = m_replyReceived + m_port.bytesAvailable();
    return QStringLiteral("The device on %1 stopped answering: %2 of the %3 bytes of its reply "
                          "arrived.")
               .arg(port)
               .arg(received)
               .arg(m_replyExpected) +
           checkTheCable(port);
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
        m_host.setStatus(QStringLiteral("Stopped"));
        try {
            resetOrThrow(); // leaves no device in write mode with half an image
        } catch (const Interrupted &again) {
            return interrupted(again.reason);
        }
        m_stopRequested = false;
        return Outcome::Stopped;
    case WaitEnd::TimedOut: {
        const QString message = noReplyMessage();
        m_host.setStatus(m_replyExpected < 0 ? QStringLiteral("No reply")
                                             : QStringLiteral("Reply cut short"));
        try {
            resetOrThrow();
        } catch (const Interrupted &again) {
            return interrupted(again.reason);
        }
        m_host.report(QStringLiteral("No reply"), message);
        return Outcome::NoReply;
    }
    case WaitEnd::PortLost:
    case WaitEnd::Done:
    case WaitEnd::Aborted:
        break;
    }
    const QString name = m_port.name();
    closePort();
    m_host.setStatus(QStringLiteral("Port lost"));
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

// One wording for a port that vanished, whatever call noticed it first.
void DeviceLink::reportPortLost(const QString &name)
{
    QString message = QStringLiteral("The port %1 went away: it was unplugged, or the device "
                                     "on it was switched off.")
                          .arg(printable(name));
    if (m_busy && m_imageSent >= 0) {
        switch (written()) {
        case Written::Nothing:
            message += QStringLiteral(" Nothing of the image was written.");
            break;
        case Written::Part:
            message += QStringLiteral(" Only %1 of the %2 bytes of the image were written, so "
                                      "the device now holds part of the old and part of the "
                                      "new configuration: write it again.")
                           .arg(m_imageSent)
                           .arg(m_imageSize);
            break;
        case Written::All:
            message += QStringLiteral(" The whole image was written but not verified: verify "
                                      "it, or write it again.");
            break;
        }
    }
    m_host.report(QStringLiteral("Port lost"), message);
}

DeviceLink::Outcome DeviceLink::savedButPortLost(const QString &path)
{
    const QString name = m_port.name();
    closePort();
    m_host.setStatus(QStringLiteral("Port lost"));
    m_host.report(QStringLiteral("Port lost"),
                  QStringLiteral("%1 was saved, but the port %2 went away before the device "
                                 "could be reset: it was unplugged, or the device on it was "
                                 "switched off.")
                      .arg(printable(path), printable(name)));
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
    m_host.setStatus(QStringLiteral("Write Started"));
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
        m_host.setByteStatus(byteStatus(b));
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
    m_host.setStatus(QStringLiteral("Write Finished"));
    m_host.setStatus(QStringLiteral("Verify Started"));
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
    m_host.setStatus(failed ? QStringLiteral("Verify Failed!!!")
                            : QStringLiteral("Verify Completed"));
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
        return notADump(QStringLiteral("Read Failed"));
    if (const Status<> saved = writeFileSafely(backup, reply.memory()); !saved) {
        resetOrThrow(); // as a read ends; nothing was written
        m_host.setStatus(QStringLiteral("Read Failed"));
        m_host.report(QStringLiteral("Write File to EEProm"),
                      QStringLiteral("Could not save the backup %1: %2; nothing was written")
                          .arg(printable(backup), saved.error()));
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
                return notADump(QStringLiteral("Verify Failed!!!"));
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
            m_host.setStatus(QStringLiteral("Verify Started"));
            const DumpReply reply = dumpExchangeOrThrow();
            if (!acceptable(reply, ReplyUse::Verify))
                return notADump(QStringLiteral("Verify Failed!!!"));
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
        m_host.setStatus(QStringLiteral("Read Started"));
        const DumpReply reply = dumpExchangeOrThrow();
        if (!acceptable(reply, ReplyUse::Read))
            return notADump(QStringLiteral("Read Failed"));
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
        m_host.setStatus(QStringLiteral("Read Failed"));
        m_host.report(QStringLiteral("Read & Save"),
                      QStringLiteral("Could not save %1: %2").arg(printable(path), saved.error()));
        return Outcome::SaveFailed;
    }
    m_host.setStatus(QStringLiteral("Read Finished"));
    return Outcome::Completed;
}

} // namespace tavlo
