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
#include <optional>

namespace tavlo {

class SerialPort;
class Ticker;

inline constexpr int ComCount = 4;

// The device actions on one port: choosing it, writing and verifying an
// image (with a backup read first where asked), reading the memory, verifying
// alone, letting the device settle, and letting go of the port. Each action
// is a chain of the session's transfers, chosen one function an action from
// the step it is in and what happened; it reports facts as signals and waits
// for nothing: where the caller decides, it asks (queued, from the event
// loop, never from inside a transfer) and stops between transfers, with no
// timer running, until answered. The link saves no file and chooses no words
// or colours.
//
// The write (the read's and the verify's are parts of it):
//
//   start ─ 127 bytes? ─no─ AskLength ─no─────────────────────────► Cancelled
//             │yes            │yes
//             ├───────────────┤
//          backup? ─yes─ Backup ─odd─ AskBackupReply ─no───────────► closing, NotADump
//             │            │standard    │yes
//             │            ├────────────┘
//             │          BackupAgain ─differs────────────────────► closing, Unstable
//             │            │same
//             │          SaveBackup ─cancelled──────────────────► Cancelled
//             │            │saved      └─not saved───────────────► closing, BackupNotSaved
//             ├────────────┘
//          Writing ─► ReadBack ─odd─ AskVerifyReply ─no──────────► closing, NotADump
//             ▲          │standard     │yes
//             │          ├─────────────┘
//             │        VerifyPause (one tick) ─► compare ─same───► closing, Completed
//             │                                    │differs
//             └──────────────────yes───────── AskRetry ─no───────► closing, VerifyFailed
//
// The read: Reading ─odd─ AskReadReply ─no─► closing, NotADump; standard or
// yes ─► SaveRead ─saved─► closing, Completed (not saved: SaveFailed;
// cancelled: Cancelled). The verify alone: ReadBack as above, then compare at
// once: closing, Completed or VerifyFailed.
//
// Closing is the reset that ends every action that talked to the device;
// then the stage it reached is said, and the action ends with its result.
// A stop, a lost port or a reply that does not come ends any step the same
// way (interrupted()).
class DeviceLink : public QObject {
    Q_OBJECT
public:
    DeviceLink(SerialPort &port, Ticker &ticker, QObject *parent = nullptr);
    ~DeviceLink() override;

    // Closes the open port, opens `name`, raises DTR and RTS, and wakes the
    // device with one ESC. False, reported, when it cannot be opened.
    bool choosePort(const QString &name);
    bool isPortOpen() const;
    // True when a port is open; otherwise reports that none is.
    bool checkPort();
    QString portName() const;
    bool isBusy() const { return m_action != Action::None; }

    // Each starts an action whose end comes as finished(); false, with
    // nothing started, without a port or with an empty image (reported), or
    // while another runs. With `backup`, the memory is read twice and, when
    // both agree, asked to be saved before anything is written.
    bool write(const QByteArray &image, bool backup = false);
    bool read();
    // Compares the device's memory with `image` as the verify after a write
    // does, and resets the device; nothing is written.
    bool verify(const QByteArray &image);
    // Lets the device wake: whole ticks, rounded up.
    bool settle(std::chrono::milliseconds time);
    // Closes the port once the last bytes sent are out (the wake-up ESC after
    // a reset, which a device that sees the port close at once never gets);
    // ends as an action does.
    bool release();

    // The answers, with the token of the question asked.
    void answer(quint64 token, bool yes);
    void saved(quint64 token, const QString &path, bool ok, const QString &reason = QString());
    void cancelled(quint64 token);
    // Whether a question waits for its answer: a stop, an abort or a lost port
    // meanwhile ends the wait, and the answer is moot.
    bool awaitsAnswer() const { return m_question.has_value(); }

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
    void stageChanged(tavlo::LinkStage stage);
    void phaseChanged(tavlo::LinkPhase phase);
    // Within Writing, Reading (the reply, its count byte too) and Comparing.
    void progressed(qint64 done, qint64 total);
    // The byte just written, a hundred times a second.
    void byteWritten(unsigned char byte);
    void asked(const tavlo::LinkQuestion &question);
    // A problem outside an action's end: a port that would not open, no
    // port for an action, a port lost between actions, an image refused.
    void problemReported(const tavlo::LinkProblem &problem);
    void finished(const tavlo::LinkResult &result);

private:
    enum class Action { None, Write, Read, Verify, Settle, Release };
    enum class Step {
        Starting,
        AskLength,
        Backup,
        AskBackupReply,
        BackupAgain,
        SaveBackup,
        Writing,
        ReadBack,
        AskVerifyReply,
        VerifyPause,
        AskRetry,
        Reading,
        AskReadReply,
        SaveRead,
        Waiting, // settle and release: one pause
        Closing,
    };
    // What moves an action on: its start, the end of its transfer, an answer.
    enum class Event { Started, Done, Yes, No, Saved, NotSaved };

    bool begin(Action action, const QByteArray &image);
    void onTransferEnded(TransferEnd end);
    void dispatch(Event event);
    void writeStep(Event event);
    void beforeWriteStep(Event event);
    void backupStep(Event event);
    void writeAndVerifyStep(Event event);
    void readStep(Event event);
    void verifyStep(Event event);
    void waitStep();

    // The steps the actions share: running a transfer, asking, comparing.
    void startWrite();
    void startDump(Step step);
    bool replyIsMemory(Step asking, ReplyUse use);
    void askToSave(Step step, ReplyUse use);
    void ask(Step step, LinkQuestion question);
    bool takeAnswer(quint64 token, bool save);
    bool compare();

    // How actions end: the closing reset, an interruption, the end itself.
    void closeWith(LinkResult result, std::optional<LinkStage> stage = std::nullopt);
    void closingReset(TransferEnd end);
    void interrupted(TransferEnd end);
    void end(LinkResult result);

    LinkProblem problem(LinkProblem::Kind kind) const;
    LinkResult failed(LinkProblem::Kind kind) const;
    LinkResult failedOn(ReplyUse use) const;
    LinkResult saveFailed(LinkProblem::Kind kind) const;
    LinkProblem lost() const;
    LinkProblem reopenFailed();

    SerialPort &m_port;
    LinkSession m_session;
    Action m_action = Action::None;
    Step m_step = Step::Closing;
    QByteArray m_image;
    bool m_backup = false;
    std::optional<quint64> m_question; // the token of the question that waits
    LinkQuestion::Kind m_questionKind = LinkQuestion::Kind::Retry;
    quint64 m_lastToken = 0;
    bool m_readSaved = false; // the read is in its file: a lost reset cannot undo that
    bool m_aborting = false;
    QString m_savedPath; // what SaveRead or SaveBackup was told
    QString m_saveReason;
    QByteArray m_firstBackup; // the first of the backup's two replies
    // What closing says once its reset is done, and how the action ends.
    std::optional<LinkStage> m_endStage;
    LinkResult m_result;
    QList<qint64> m_mismatches;
    bool m_wrote = false; // this action began a write: the device may hold part of it
};

} // namespace tavlo
