// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dumpreply.h"
#include "image.h"
#include "linkhost.h"
#include "protocol.h"
#include "session.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

class QEventLoop;

namespace tavlo {

class SerialPort;
class Ticker;

inline constexpr int ComCount = 4;

// The device protocol: choosing the port, the timed waits, the device reset,
// writing and verifying a file, and reading the memory into a file. One action
// runs at a time; its waits keep the event loop going, and the timer runs only
// while a wait does.
class DeviceLink : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Completed,    // verified, or read and saved
        VerifyFailed, // the device's memory differs from the file
        Cancelled,    // the operator said no, or cancelled the file dialog
        NoPort,
        Busy,
        NoReply,  // none, or too short
        NotADump, // a reply that is not a memory dump (see lastReply()); nothing saved or written
        PortLost,
        SaveFailed,
        SavedResetFailed, // read and saved, but the port went away at the reset
        Aborted,          // the window is closing: the port is closed, nothing reset
        Stopped,          // stop() ended it: the device was reset
    };

    using Written = tavlo::Written;

    // Pause counts 20 a tick (protocol.h has the waits in ticks).
    static constexpr int PauseStep = 20;
    static constexpr int pauseUnits(protocol::Tick ticks) { return ticks.count() * PauseStep; }

    DeviceLink(SerialPort &port, Ticker &ticker, LinkHost &host, QObject *parent = nullptr);

    // Closes the open port, opens `name`, raises DTR and RTS, and wakes the
    // device with one ESC. False, reported to the host, when it cannot be opened.
    bool choosePort(const QString &name);
    bool isPortOpen() const;
    // True when a port is open; otherwise asks the operator to choose one.
    bool checkPort();
    QString portName() const;
    bool isBusy() const { return m_busy; }

    // Writes `image` and verifies the device against those same bytes. With a
    // backup path, the device's memory is read and saved there first; if that
    // fails nothing is written.
    Outcome writeAndVerify(const QByteArray &image, const QString &backup = QString());
    Outcome readToFile();
    // Compares the device's memory with `image` as the verify after a write
    // does, and resets the device; nothing is written.
    Outcome verifyOnly(const QByteArray &image);

    // Ends a running action at once (the window is closing) and closes the port.
    void abort();
    // Ends a running action or Pause as soon as it waits, resetting the device
    // if an action was running; the port stays open.
    void stop();
    void closePort();

    // The file offsets that differed in the last verify.
    QList<qint64> mismatches() const { return m_mismatches; }
    // The memory bytes of the last dump reply (the count byte left out).
    QByteArray lastMemory() const { return m_lastReply.memory(); }
    const DumpReply &lastReply() const { return m_lastReply; }
    // How much of the image the last action wrote, and how long the image is.
    Written written() const;
    qint64 bytesWritten() const { return m_imageSent; }
    qint64 imageSize() const { return m_imageSize; }

    // The wait of the link: ceil(n / 20) ticks of the 10 ms timer from its
    // start, or one pass of event processing for n <= 0. False when it was
    // cut short by stop(), abort() or a lost port.
    bool pause(int n);
    // The same wait given as a time: whole ticks, rounded up.
    bool settle(std::chrono::milliseconds time);
    // Lowers DTR and RTS, closes the port where that alone drops them (the
    // port stays claimed meanwhile), holds 100 ticks, reopens a closed port,
    // raises the lines and wakes the device. Does nothing without an open port.
    void resetDevice();

signals:
    void busyChanged(bool busy);
    // No port is open any more because one could not be opened or went away.
    void portClosed();

private:
    // NotReopened: a reset closed the port and could not open it again.
    enum class WaitEnd { Done, TimedOut, PortLost, Aborted, Stopped, NotReopened };
    // A reset's hold ignores stop(): a stopped action still ends with a whole reset.
    enum class WaitKind { Pause, ResetHold, Reply };
    // Thrown to unwind the running action; caught where the action began.
    struct Interrupted {
        WaitEnd reason;
    };
    class BusyScope;
    // What a running wait waits for, and how it ended.
    struct Waiting {
        const std::function<bool()> &done;
        WaitKind kind;
        QEventLoop &loop;
        WaitEnd end = WaitEnd::Aborted; // also what an application quitting meanwhile leaves
        int idleTicks = 0;
        qint64 seen = 0;
    };

    WaitEnd wait(const std::function<bool()> &done, WaitKind kind);
    WaitEnd waitWithTimer(const std::function<bool()> &done, WaitKind kind);
    void endWait(WaitEnd end);
    void onTick();
    void onReadyRead();
    WaitEnd pauseFor(int n, WaitKind kind = WaitKind::Pause);
    void startPause();
    WaitEnd finishPause(int n, WaitKind kind = WaitKind::Pause);
    // The one place that turns how a wait ended into an interruption.
    static void throwUnlessDone(WaitEnd end);
    // After a question or dialog: the window may be closing or the port gone.
    void throwIfInterruptedMeanwhile();

    // These end the running action by throwing Interrupted.
    void pauseOrThrow(int n);
    void resetOrThrow();
    void finalResetOrThrow();
    LinkProblem notReopened(LinkProblem p);
    void waitForBytesOrThrow(qint64 count);
    DumpReply dumpExchangeOrThrow();
    bool acceptable(const DumpReply &reply, ReplyUse use);
    Outcome notADump(LinkStage stage);
    Outcome notSaved(LinkProblem::Kind kind, const QString &path, const QString &reason);

    template <typename Action> Outcome withImage(const QByteArray &image, Action action);
    Outcome writeAndVerifyImage(const QByteArray &image, const QString &backup);
    Outcome saveBackup(const QString &backup);
    Outcome verifyEnded(bool failed);

    // The stages of a write.
    void sendImage(const QByteArray &file);
    bool verifyAgainst(const QByteArray &file, const QByteArray &reply);
    void wrapUpWrite();

    void send(const QByteArray &bytes);
    Outcome interrupted(WaitEnd reason);
    void reportPortLost(const QString &name);
    LinkProblem problem(LinkProblem::Kind kind) const;
    Outcome savedButPortLost(const QString &path, WaitEnd reason);

    SerialPort &m_port;
    Ticker &m_ticker;
    LinkHost &m_host;
    bool m_busy = false;
    bool m_aborted = false;
    bool m_stopRequested = false;
    bool m_lostWhileBusy = false;
    Waiting *m_waiting = nullptr; // the wait running now, if any
    double m_pauseCount = 0;
    qint64 m_replyReceived = 0;
    qint64 m_replyExpected = -1; // unknown until the count byte arrives
    QList<qint64> m_mismatches;
    DumpReply m_lastReply;
    qint64 m_imageSize = 0;
    qint64 m_imageSent = -1; // image bytes sent by the running write; -1 before ESC "D"
};

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

} // namespace tavlo
