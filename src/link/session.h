// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dumpreply.h"
#include "linkfacts.h"
#include "protocol.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

namespace tavlo {

class SerialPort;
class Ticker;
class Transfer;

// Far more than any device holds: a larger file is refused before it is read.
inline constexpr qint64 LargestDeviceFile = 64 * 1024;

// How a transfer ended.
enum class TransferEnd {
    Done,
    TimedOut,    // no byte of a reply came for ReplyTimeout
    PortLost,    // the port went away
    Stopped,     // stop() ended it; the caller resets the device
    Aborted,     // abort(): the port is closed, nothing reset
    NotReopened, // a reset closed the port and could not open it again
};

// One port and the transfer running on it. A transfer is a small state
// machine that moves on a tick of the ticker or on bytes that arrived; it
// never waits inside itself, so any number of sessions run side by side on
// one event loop. Between transfers the ticker is stopped, and what comes
// next is the caller's decision, taken when ended() arrives.
class LinkSession : public QObject {
    Q_OBJECT
public:
    LinkSession(SerialPort &port, Ticker &ticker, QObject *parent = nullptr);
    ~LinkSession() override;

    // Opens the port, raises DTR and RTS and wakes the device with one ESC.
    bool open(const QString &name);
    void close();
    bool isOpen() const;

    // Each starts one transfer, whose end comes as ended(); false, with
    // nothing started, while another runs or without an open port (a reset
    // of a closed port ends Done at once, as there is nothing to reset).
    bool startPause(protocol::Tick ticks);
    bool startWrite(const QByteArray &image);
    bool startDump();
    bool startReset();
    bool isRunning() const { return m_current != nullptr; }

    // Ends the running transfer before its next tick, but lets a reset's hold run out: a
    // stopped action still ends with a whole reset. Until clearStop(),
    // every transfer but a reset ends Stopped as it starts.
    void stop();
    void clearStop() { m_stopRequested = false; }
    // Closes the port; the running transfer ends Aborted.
    void abort();

    // The last dump's reply as it arrived, and what it announced.
    const DumpReply &reply() const { return m_reply; }
    qint64 replyExpected() const { return m_replyExpected; }
    // The image bytes the last write sent (-1 before its ESC "D") of how many.
    qint64 bytesWritten() const { return m_imageSent; }
    qint64 imageSize() const { return m_imageSize; }

signals:
    // Writing, Settling, Reading, Resetting or Pausing.
    void phase(tavlo::LinkPhase phase);
    // Bytes of the transfer done: image and filler for a write, the reply
    // (its count byte too) for a dump.
    void progress(qint64 done, qint64 total);
    void byteWritten(unsigned char byte);
    void ended(tavlo::TransferEnd end);
    // The port went away while no transfer ran.
    void portLost(const QString &name);

private:
    friend class Transfer;
    friend class WriteTransfer;
    friend class DumpTransfer;
    friend class ResetTransfer;
    friend class PauseTransfer;

    bool begin(std::unique_ptr<Transfer> transfer, bool needsPort);
    void finish(TransferEnd end);
    // Ends the running transfer on the next pass of the event loop.
    void finishSoon(TransferEnd end);
    void send(const QByteArray &bytes);
    void restartTicks();
    void stopTicks();

    SerialPort &m_port;
    Ticker &m_ticker;
    std::unique_ptr<Transfer> m_current;
    // Ended transfers, deleted on the next pass of the event loop: one may
    // still be on the stack when it ends.
    std::vector<std::unique_ptr<Transfer>> m_retired;
    bool m_stopRequested = false;
    DumpReply m_reply;
    qint64 m_replyExpected = -1;
    qint64 m_imageSent = -1;
    qint64 m_imageSize = 0;
};

} // namespace tavlo
