#include "devicelink.h"

#include "imagefile.h"
#include "linkhost.h"
#include "serialport.h"
#include "ticker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <functional>

namespace tavlo {

namespace {

constexpr char Esc = 27;
const QByteArray WakeUp(1, Esc);
const QByteArray WriteCommand("\x1b"
                              "D");
const QByteArray DumpCommand("\x1b\x1b"
                             "U");
constexpr int WritePause = 5;
constexpr int ResetPause = 2000;
constexpr qint64 FillerAfter = 64; // a file longer than this is followed by filler bytes
constexpr char Filler = char(0xFF);
constexpr qint64 StandardImage = 127;

QString noReplyMessage(const QString &port)
{
    return QStringLiteral("No reply from the device on %1.\n\nCheck the cable, that the device "
                          "has power, and that %1 is the port it is connected to.")
        .arg(port);
}

QString openFailureMessage(const QString &name, OpenFailure failure, const QString &reason)
{
    QString message = QStringLiteral("Could not open %1: %2.").arg(name, reason);
    switch (failure) {
    case OpenFailure::PermissionDenied:
#ifdef Q_OS_WIN
        message += QStringLiteral("\n\nYou are not allowed to use this port.");
#else
        message += QStringLiteral(
            "\n\nYour user may not use serial ports. Add it to the dialout group with\n"
            "    sudo usermod -aG dialout $USER\nthen log out and in again.");
#endif
        break;
    case OpenFailure::Busy:
        message += QStringLiteral(
            "\n\nAnother program holds the port: a terminal program, or a service such as "
            "ModemManager or brltty, which can grab USB serial adapters. Close it and choose "
            "the port again.");
        break;
    case OpenFailure::NotFound:
        message += QStringLiteral(
            "\n\nThere is no such port. Check that the adapter is plugged in, and the name.");
        break;
    case OpenFailure::None:
    case OpenFailure::Other:
        break;
    }
    return message;
}

} // namespace

QString comPortName(int index)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(index + 1);
#else
    return QStringLiteral("/dev/ttyS%1").arg(index);
#endif
}

QString byteStatus(unsigned char byte)
{
    const QString shown = byte >= 33 && byte <= 127 ? QString(QChar(byte)) : QStringLiteral(".");
    return shown + QStringLiteral(" (") + QString::number(byte, 16).toUpper() + u')';
}

// Marks the link busy for one action and keeps its timer running meanwhile.
class DeviceLink::BusyScope {
public:
    explicit BusyScope(DeviceLink &link)
        : m_link(link)
    {
        m_link.m_busy = true;
        m_link.m_aborted = false;
        m_link.m_ticker.start();
        emit m_link.busyChanged(true);
    }
    ~BusyScope()
    {
        m_link.m_ticker.stop();
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
    connect(&m_port, &SerialPort::lost, this, [this](const QString &reason) {
        if (m_busy)
            return; // the running action's wait ends with it
        m_host.report(QStringLiteral("Port lost"),
                      QStringLiteral("The port %1 went away: %2").arg(m_port.name(), reason));
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
    if (m_loop)
        m_loop->quit();
}

void DeviceLink::send(const QByteArray &bytes)
{
    m_port.write(bytes);
}

// Processes events until `done` holds. A wait for a reply ends after
// ReplyTimeoutTicks ticks in which no byte arrived.
void DeviceLink::wait(const std::function<bool()> &done, bool forReply)
{
    QEventLoop loop;
    Wait result = Wait::Aborted; // also what an application quitting meanwhile leaves
    int idleTicks = 0;
    qint64 seen = m_port.bytesAvailable();
    auto finish = [&](Wait why) {
        result = why;
        loop.quit();
    };
    QObject context;
    connect(&m_ticker, &Ticker::tick, &context, [&] {
        TimerB += PauseStep;
        if (forReply) {
            const qint64 now = m_port.bytesAvailable();
            idleTicks = now > seen ? 0 : idleTicks + 1;
            seen = now;
            if (idleTicks >= ReplyTimeoutTicks)
                return finish(Wait::TimedOut);
        }
        if (done())
            finish(Wait::Done);
    });
    connect(&m_port, &SerialPort::readyRead, &context, [&] {
        if (done())
            finish(Wait::Done);
    });
    connect(&m_port, &SerialPort::lost, &context, [&] { finish(Wait::PortLost); });
    if (m_aborted) {
        result = Wait::Aborted;
    } else if (done()) {
        result = Wait::Done;
    } else if (forReply && !m_port.isOpen()) {
        result = Wait::PortLost;
    } else {
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
        if (m_aborted)
            result = Wait::Aborted;
    }
    if (result != Wait::Done)
        throw Interrupted{result};
}

void DeviceLink::waitForBytes(qint64 count)
{
    if (count > 0)
        wait([this, count] { return m_port.bytesAvailable() >= count; }, true);
}

void DeviceLink::Pause(int n)
{
    const bool ownTimer = !m_busy; // an action keeps the timer running itself
    try {
        pause(n);
    } catch (const Interrupted &) {
    }
    if (ownTimer)
        m_ticker.stop();
}

void DeviceLink::ResetDevice()
{
    const bool ownTimer = !m_busy;
    try {
        resetDevice();
    } catch (const Interrupted &) {
    }
    if (ownTimer)
        m_ticker.stop();
}

void DeviceLink::pause(int n)
{
    TimerB = 0;
    m_ticker.start();
    if (n <= 0) {
        QCoreApplication::processEvents();
    } else {
        wait([this, n] { return TimerB >= n; }, false);
    }
    if (m_aborted)
        throw Interrupted{Wait::Aborted};
}

void DeviceLink::resetDevice()
{
    if (!m_port.isOpen())
        return;
    const QString name = m_port.name();
    m_port.close();
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    pause(ResetPause);
    if (!m_port.open(name))
        throw Interrupted{Wait::PortLost};
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    send(WakeUp);
}

QByteArray DeviceLink::dumpExchange()
{
    m_port.readAll(); // whatever the device sent before does not belong to the reply
    send(DumpCommand);
    waitForBytes(1);
    QByteArray reply = m_port.readAll();
    if (reply.isEmpty())
        throw Interrupted{Wait::PortLost};
    const qint64 expected = static_cast<unsigned char>(reply.at(0)) + 1;
    waitForBytes(expected - reply.size());
    reply += m_port.readAll();
    return reply;
}

bool DeviceLink::readWholeFile(const QString &path, QByteArray &bytes)
{
    const FileRead file = readFile(path);
    if (!file.error.isEmpty()) {
        m_host.report(QStringLiteral("Write File to EEProm"),
                      QStringLiteral("Could not read %1: %2").arg(path, file.error));
        return false;
    }
    bytes = file.bytes;
    return true;
}

bool DeviceLink::checkPort()
{
    if (m_port.isOpen())
        return true;
    m_host.report(QStringLiteral("No COM port selected"),
                  QStringLiteral("Please select COM port!"));
    return false;
}

DeviceLink::Outcome DeviceLink::interrupted(Wait reason)
{
    if (reason == Wait::Aborted) {
        closePort();
        return Outcome::Aborted;
    }
    m_host.progressHide();
    m_host.setStatusTone(StatusTone::ButtonText);
    const QString name = m_port.name();
    if (reason == Wait::TimedOut) {
        m_host.setStatus(QStringLiteral("No reply from the device"));
        try {
            resetDevice();
        } catch (const Interrupted &again) {
            return interrupted(again.reason);
        }
        m_host.report(QStringLiteral("No reply"), noReplyMessage(name));
        return Outcome::NoReply;
    }
    closePort();
    m_host.setStatus(QStringLiteral("Port lost"));
    m_host.report(QStringLiteral("Port lost"),
                  QStringLiteral("The port %1 went away: %2").arg(name, m_port.errorString()));
    emit portClosed();
    return Outcome::PortLost;
}

DeviceLink::Outcome DeviceLink::writeAndVerify(const QString &path)
{
    if (!checkPort())
        return Outcome::NoPort;
    if (m_busy)
        return Outcome::Busy;
    BusyScope busy(*this);
    m_mismatches.clear();
    bool written = false; // once something was sent, every ending resets the device
    bool failed = false;
    auto wrapUp = [this] {
        m_host.progressHide();
        resetDevice();
        m_host.setStatusTone(StatusTone::ButtonText);
    };
    try {
        for (;;) {
            QByteArray file;
            if (!readWholeFile(path, file)) {
                if (written)
                    wrapUp();
                return Outcome::FileError;
            }
            const qint64 n = file.size();
            if (!written && n != StandardImage && !m_host.confirmLength(path, n))
                return Outcome::Cancelled;
            written = true;

            const qint64 filler = n > FillerAfter ? n - FillerAfter : 0;
            const qint64 total = n + filler;
            m_host.progressBegin(FillColour::Red);
            m_host.setStatus(QStringLiteral("Write Started"));
            m_host.setStatusTone(StatusTone::Highlight);
            send(WriteCommand);
            pause(WritePause);
            for (qint64 i = 1; i <= n; ++i) {
                const auto b = static_cast<unsigned char>(file.at(i - 1));
                send(QByteArray(1, char(b)));
                m_host.progressFill(i, total);
                m_host.setStatus(byteStatus(b));
                pause(WritePause);
            }
            // Devices expect the filler after a long file; it is never verified.
            for (qint64 j = 1; j <= filler; ++j) {
                send(QByteArray(1, Filler));
                m_host.progressFill(n + j, total);
                pause(WritePause);
            }
            pause(0);
            m_host.progressMark();
            pause(WritePause);
            m_host.progressEmpty(FillColour::Green);
            m_host.setStatus(QStringLiteral("Write Finished"));
            m_host.setStatus(QStringLiteral("Verify Started"));

            const QByteArray reply = dumpExchange();
            if (!readWholeFile(path, file)) {
                wrapUp();
                return Outcome::FileError;
            }
            m_host.progressBegin(FillColour::Green);
            pause(WritePause);
            failed = false;
            m_mismatches.clear();
            for (qint64 i = 1; i <= file.size(); ++i) {
                if (i >= reply.size() || reply.at(i) != file.at(i - 1)) {
                    failed = true;
                    m_mismatches.append(i - 1);
                }
                m_host.progressFill(i, file.size());
            }
            if (failed && m_host.askRetry())
                continue;
            break;
        }
        wrapUp();
    } catch (const Interrupted &stop) {
        return interrupted(stop.reason);
    }
    m_host.setStatus(failed ? QStringLiteral("Verify Failed!!!")
                            : QStringLiteral("Verify Completed"));
    return failed ? Outcome::VerifyFailed : Outcome::Completed;
}

DeviceLink::Outcome DeviceLink::readToFile()
{
    if (!checkPort())
        return Outcome::NoPort;
    if (m_busy)
        return Outcome::Busy;
    BusyScope busy(*this);
    QString error;
    QString path;
    try {
        m_host.setStatus(QStringLiteral("Read Started"));
        const QByteArray reply = dumpExchange();
        const auto chosen = m_host.askSaveFile();
        if (!chosen)
            return Outcome::Cancelled;
        path = *chosen;
        error = writeFileAtomically(path, reply.mid(1));
        resetDevice();
    } catch (const Interrupted &stop) {
        return interrupted(stop.reason);
    }
    if (!error.isEmpty()) {
        m_host.setStatus(QStringLiteral("Read Failed"));
        m_host.report(QStringLiteral("Read && Save"),
                      QStringLiteral("Could not save %1: %2").arg(path, error));
        return Outcome::SaveFailed;
    }
    m_host.setStatus(QStringLiteral("Read Finished"));
    return Outcome::Completed;
}

} // namespace tavlo
