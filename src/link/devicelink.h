#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QEventLoop;

namespace tavlo {

class LinkHost;
class SerialPort;
class Ticker;

inline constexpr int ComCount = 4;

// The port a Com button opens: COM1 to COM4 on Windows, /dev/ttyS0 to
// /dev/ttyS3 elsewhere.
QString comPortName(int index);

// The status-line text for a byte being written: the character, or "." for
// one that does not print, and its code in hexadecimal.
QString byteStatus(unsigned char byte);

// The device protocol: choosing the port, the timed waits, the device reset,
// writing and verifying a file, and reading the memory into a file. One action
// runs at a time; its waits keep the event loop going.
class DeviceLink : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Completed,    // verified, or read and saved
        VerifyFailed, // the device's memory differs from the file
        Cancelled,    // the operator said no, or cancelled the file dialog
        NoPort,
        Busy,
        FileError,
        NoReply,
        PortLost,
        SaveFailed,
        Aborted,
    };

    // Pause counts 20 per tick; a reply may take this many ticks (2 s) to begin, or to go on.
    static constexpr int PauseStep = 20;
    static constexpr int ReplyTimeoutTicks = 200;

    DeviceLink(SerialPort &port, Ticker &ticker, LinkHost &host, QObject *parent = nullptr);

    // Closes the open port, opens `name`, raises DTR and RTS, and wakes the
    // device with one ESC. False, reported to the host, when it cannot be opened.
    bool choosePort(const QString &name);
    bool isPortOpen() const;
    // True when a port is open; otherwise asks the operator to choose one.
    bool checkPort();
    QString portName() const;
    bool isBusy() const { return m_busy; }

    Outcome writeAndVerify(const QString &path);
    Outcome readToFile();

    // Ends a running action at once (the window is closing) and closes the port.
    void abort();
    void closePort();

    // The file offsets that differed in the last verify.
    QList<qint64> mismatches() const { return m_mismatches; }

    // The wait of the link: ceil(n / 20) ticks of the 10 ms timer, or one pass
    // of event processing for n <= 0.
    void Pause(int n);
    // Closes the port, keeps DTR and RTS low for 100 ticks, reopens it and wakes the device.
    void ResetDevice();

signals:
    void busyChanged(bool busy);
    // No port is open any more because one could not be opened or went away.
    void portClosed();

private:
    enum class Wait { Done, TimedOut, PortLost, Aborted };
    struct Interrupted {
        Wait reason;
    };
    class BusyScope;

    // These end a running action by throwing Interrupted.
    void pause(int n);
    void resetDevice();
    void wait(const std::function<bool()> &done, bool forReply);
    void waitForBytes(qint64 count);
    void send(const QByteArray &bytes);
    QByteArray dumpExchange();
    bool readWholeFile(const QString &path, QByteArray &bytes);
    Outcome interrupted(Wait reason);

    SerialPort &m_port;
    Ticker &m_ticker;
    LinkHost &m_host;
    bool m_busy = false;
    bool m_aborted = false;
    QEventLoop *m_loop = nullptr; // the wait running now, if any
    double TimerB = 0;
    QList<qint64> m_mismatches;
};

} // namespace tavlo
