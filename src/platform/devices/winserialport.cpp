// SPDX-License-Identifier: GPL-3.0-or-later
#include "winserialport.h"

#include "protocol.h"

#include <windows.h>

namespace tavlo {

namespace {

constexpr DWORD ReceiveBuffer = 1024;
constexpr DWORD TransmitBuffer = 512;
// A write never hangs on a port that stopped taking bytes: at 9600 baud a
// byte takes about a millisecond.
constexpr DWORD WriteTimeoutMs = 2000;
// How often a waiting reply is looked for between ticks, and a port that
// went away noticed.
constexpr int PollMs = 5;

HANDLE handleOf(void *handle)
{
    return static_cast<HANDLE>(handle);
}

QString systemMessage(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString message = length > 0 ? QString::fromWCharArray(text, int(length)).trimmed()
                                 : QStringLiteral("error %1").arg(error);
    LocalFree(text);
    while (message.endsWith(u'.'))
        message.chop(1);
    return message;
}

} // namespace

WinSerialPort::WinSerialPort(QObject *parent)
    : SerialPort(parent)
{
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, &WinSerialPort::poll);
}

WinSerialPort::~WinSerialPort()
{
    close();
}

QString WinSerialPort::deviceName(const QString &name)
{
    return name.startsWith(QLatin1String("\\\\.\\")) ? name : QStringLiteral("\\\\.\\") + name;
}

bool WinSerialPort::open(const QString &name)
{
    close();
    m_name = name;
    m_failure = OpenFailure::None;
    m_error.clear();
    const std::wstring device = deviceName(name).toStdWString();
    // No sharing: the port is this program's alone until it is closed.
    HANDLE handle = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_NAME:
            return fail(OpenFailure::NotFound, error);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return fail(OpenFailure::Busy, error);
        default:
            return fail(OpenFailure::Other, error);
        }
    }
    m_handle = handle;
    if (!configure()) {
        const DWORD error = GetLastError();
        close();
        return fail(OpenFailure::Other, error);
    }
    m_poll.start();
    return true;
}

// 9600 8N1, no flow control, no character replaced, dropped or acted on;
// reads return at once with what is there.
bool WinSerialPort::configure()
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handleOf(m_handle), &dcb))
        return false;
    dcb.BaudRate = protocol::BaudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE; // raised by the link, as it says
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(handleOf(m_handle), &dcb))
        return false;
    SetupComm(handleOf(m_handle), ReceiveBuffer, TransmitBuffer);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD; // with both totals 0: return at once
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = WriteTimeoutMs;
    if (!SetCommTimeouts(handleOf(m_handle), &timeouts))
        return false;
    // What the device sent before the port was opened is no answer to anything.
    PurgeComm(handleOf(m_handle), PURGE_RXCLEAR | PURGE_TXCLEAR);
    return true;
}

bool WinSerialPort::fail(OpenFailure failure, unsigned long error)
{
    m_failure = failure;
    switch (failure) {
    case OpenFailure::NotFound:
        m_error = QStringLiteral("there is no such port");
        break;
    case OpenFailure::Busy:
        m_error = QStringLiteral("another program holds it (%1)").arg(systemMessage(error));
        break;
    default:
        m_error = systemMessage(error);
        break;
    }
    return false;
}

void WinSerialPort::close()
{
    m_poll.stop();
    if (m_handle)
        CloseHandle(handleOf(m_handle));
    m_handle = nullptr;
}

// A port without modem-control lines (some adapters) refuses; the link then
// drops them by closing the port, as on other systems.
bool WinSerialPort::setDataTerminalReady(bool on)
{
    return m_handle && EscapeCommFunction(handleOf(m_handle), on ? SETDTR : CLRDTR);
}

bool WinSerialPort::setRequestToSend(bool on)
{
    return m_handle && EscapeCommFunction(handleOf(m_handle), on ? SETRTS : CLRRTS);
}

void WinSerialPort::write(const QByteArray &bytes)
{
    if (!m_handle)
        return;
    DWORD written = 0;
    if (!WriteFile(handleOf(m_handle), bytes.constData(), DWORD(bytes.size()), &written, nullptr) ||
        written != DWORD(bytes.size()))
        goneAway(GetLastError());
}

qint64 WinSerialPort::bytesAvailable() const
{
    if (!m_handle)
        return 0;
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(handleOf(m_handle), &errors, &status) ? qint64(status.cbInQue) : 0;
}

QByteArray WinSerialPort::readAll()
{
    QByteArray bytes;
    if (!m_handle)
        return bytes;
    char chunk[ReceiveBuffer];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(handleOf(m_handle), chunk, sizeof chunk, &read, nullptr)) {
            goneAway(GetLastError());
            break;
        }
        if (read == 0)
            break;
        bytes.append(chunk, qsizetype(read));
    }
    return bytes;
}

void WinSerialPort::poll()
{
    if (!m_handle)
        return;
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handleOf(m_handle), &errors, &status))
        return goneAway(GetLastError());
    if (status.cbInQue > 0)
        emit readyRead();
}

// An adapter pulled out: every call on the handle fails from then on.
void WinSerialPort::goneAway(unsigned long error)
{
    if (!m_handle)
        return;
    m_error = error == ERROR_OPERATION_ABORTED || error == ERROR_DEVICE_REMOVED ||
                      error == ERROR_BAD_COMMAND || error == ERROR_ACCESS_DENIED
                  ? QStringLiteral("it was unplugged or closed by the other side")
                  : systemMessage(error);
    close();
    emit lost(m_error);
}

} // namespace tavlo

#include "moc_winserialport.cpp"
