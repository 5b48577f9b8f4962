// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dumpreply.h"
#include "linkfacts.h"
#include "session.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <chrono>

namespace tavlo {

class SerialPort;
class Ticker;

inline constexpr int ComCount = 4;

// The device actions on one port: choosing it, writing and verifying an
// image (with a backup read first where asked), reading the memory, verifying
// alone, letting the device settle. An action is a chain of the session's
// transfers; it reports what it does as signals and waits for nothing: where
// the caller decides (a question, where to save what was read), the action
// stops between transfers, with no timer running, until answered. The link
// saves no file and chooses no words or colours.
class DeviceLink : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Completed,    // verified, or read and saved
        VerifyFailed, // the device's memory differs from the image
        Cancelled,    // the operator said no, or cancelled the file dialog
        NoPort,
        Busy,
        NoReply,  // none, or too short
        NotADump, // a reply that is not a memory dump (see lastReply()); nothing saved or written
        Unstable, // two reads of the backup differ: nothing saved or written
        PortLost,
        SaveFailed,
        SavedResetFailed, // read and saved, but the port went away at the reset
        Aborted,          // the window is closing: the port is closed, nothing reset
        Stopped,          // stop() ended it: the device was reset
    };

    using Written = tavlo::Written;

    DeviceLink(SerialPort &port, Ticker &ticker, QObject *parent = nullptr);
    ~DeviceLink() override;

    // Closes the open port, opens `name`, raises DTR and RTS, and wakes the
    // device with one ESC. False, reported, when it cannot be opened.
    bool choosePort(const QString &name);
    bool isPortOpen() const;
    // True when a port is open; otherwise reports that none is.
    bool checkPort();
    QString portName() const;
    bool isBusy() const { return m_step != Step::Idle; }

    // Each starts an action whose end comes as finished(); false, with
    // nothing started, without a port (reported) or while another runs.
    // With `backup`, the memory is read and handed out as memoryRead(Backup)
    // first; unless saved(), nothing is written.
    bool writeAndVerify(const QByteArray &image, bool backup = false);
    bool readToFile();
    // Compares the device's memory with `image` as the verify after a write
    // does, and resets the device; nothing is written.
    bool verifyOnly(const QByteArray &image);
    // Lets the device wake: whole ticks, rounded up. Ends Completed, or
    // Stopped by stop(), or PortLost.
    bool settle(std::chrono::milliseconds time);

    // Whether a question or memoryRead() waits for its answer: a stop, an
    // abort or a lost port meanwhile ends the wait, and the answer is moot.
    bool awaitsAnswer() const;
    // The answers: to a question, and to memoryRead().
    void answer(bool yes);
    void saved(const QString &path, bool ok, const QString &reason = QString());
    void cancelled();

    // Ends a running action at once (the window is closing) and closes the port.
    void abort();
    // Ends a running action as soon as it can, resetting the device if it had
    // begun; the port stays open.
    void stop();
    void closePort();

    // The file offsets that differed in the last verify.
    QList<qint64> mismatches() const { return m_mismatches; }
    // The memory bytes of the last dump reply (the count byte left out).
    QByteArray lastMemory() const { return m_session.reply().memory(); }
    const DumpReply &lastReply() const { return m_session.reply(); }
    // How much of the image the last action wrote, and how long the image is.
    Written written() const;
    qint64 bytesWritten() const;
    qint64 imageSize() const { return m_image.size(); }

signals:
    void busyChanged(bool busy);
    // No port is open any more because one could not be opened or went away.
    void portClosed();
    void stage(tavlo::LinkStage stage);
    // The status line shows a transfer under way (true), or no more.
    void transferShown(bool shown);
    // The progress display: shown and emptied for a fill; emptied for
    // another fill; filled to `done` of `total`; the written extent marked;
    // hidden.
    void fillBegun(tavlo::Fill fill);
    void fillEmptied(tavlo::Fill fill);
    void filled(qint64 done, qint64 total);
    void fillMarked();
    void fillHidden();
    // The byte just written, a hundred times a second.
    void byteWritten(unsigned char byte);
    // Questions, answered with answer(): an image that is not 127 bytes long,
    // write it all the same? A reply that is no memory dump, take it as the
    // device's memory? After a failed verify, write again?
    void lengthQuestion(qint64 size);
    void replyQuestion(const tavlo::DumpReply &reply, tavlo::ReplyUse use);
    void retryQuestion();
    // What was read, to be saved by the caller, who then says saved() or
    // cancelled().
    void memoryRead(const QByteArray &memory, tavlo::ReplyUse use);
    // A failure the operator must see.
    void report(const tavlo::LinkProblem &problem);
    void finished(tavlo::DeviceLink::Outcome outcome);

private:
    enum class Step {
        Idle,
        Settling,
        AskLength,
        Backup,
        AskBackupReply,
        BackupAgain, // the memory read once more: a backup is kept only when both agree
        SaveBackup,
        Writing,
        VerifyRead,
        AskVerifyReply,
        VerifyPause,
        AskRetry,
        Reading,
        AskReadReply,
        SaveRead,
        Resetting,
    };
    enum class Action { Write, Read, Verify, Settle };

    bool begin(Action action, const QByteArray &image);
    void onEnded(TransferEnd end);
    void onDone();
    void startWrite();
    void dumpArrived();
    void replyTaken(bool taken);
    void backupReadAgain();
    void compare();
    void resetThen(Outcome outcome);
    void afterReset(TransferEnd end);
    void interrupted(TransferEnd end);
    void settleInterrupted(TransferEnd end);
    void timedOut();
    LinkProblem reopenFailed();
    void notADump();
    void finish(Outcome outcome);
    void ask(Step step);
    bool interruptedWhileAsked();
    LinkProblem problem(LinkProblem::Kind kind) const;
    void reportReopenFailed();
    void reportLost(const QString &name);

    SerialPort &m_port;
    LinkSession m_session;
    Step m_step = Step::Idle;
    Action m_action = Action::Write;
    QByteArray m_image;
    bool m_backup = false;
    Outcome m_outcome = Outcome::Completed;
    LinkStage m_endStage = LinkStage::VerifyCompleted; // said once the closing reset is done
    bool m_sayEnd = false;
    bool m_saved = false; // read: the file holds the memory
    QString m_savedPath;
    LinkProblem m_pending; // said once the reset that follows it is done
    bool m_hasPending = false;
    bool m_aborted = false;
    bool m_lostWhileAsked = false;
    QList<qint64> m_mismatches;
    QByteArray m_firstBackup; // the first of the backup's two replies
    bool m_wrote = false;     // this action began a write: the device may hold part of it
};

} // namespace tavlo
