// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devicecommands.h"
#include "linkhost.h"
#include "session.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

namespace tavlo::cli {

// How a device action of the tool ended.
enum class Outcome {
    Completed,        // verified, or read and saved
    VerifyFailed,     // the device's memory differs from the file
    NoPort,           // the port would not open
    NoReply,          // none, or too short
    NotADump,         // a reply that is not a memory dump; nothing saved or written
    PortLost,         // the port went away, or would not open again after a reset
    SaveFailed,       // what was read could not be saved
    SavedResetFailed, // read and saved, but the port went away at the reset
    Stopped,          // a signal ended it: the device was reset
    StoppedSettling,  // a signal came before anything was sent
};

struct RunPlan {
    DeviceAction action = DeviceAction::Write;
    QString port;
    QByteArray image; // for write and verify
    QString backup;   // write: where the memory goes first, or empty
    QString saveTo;   // read: the file
    int retries = 0;  // write: writes after a failed verify
    bool anyLength = false;
    int settleMs = 0;
};

// One write, read or verify on the session, step by step: each step starts a
// transfer, and the next is chosen when it ends. Every ending that is not a
// verdict resets the device first. Failures go to `report` as facts.
class DeviceRun : public QObject {
    Q_OBJECT
public:
    DeviceRun(LinkSession &session, RunPlan plan);

    // Opens the port and begins the action; its end comes as finished().
    void start();
    // start(), and the event loop until the action ends.
    Outcome run();
    // A signal: the running transfer ends and the device is reset.
    void stop() { m_session.stop(); }

    const DumpReply &reply() const { return m_session.reply(); }
    QList<qint64> mismatches() const { return m_mismatches; }
    int failures() const { return m_failures; }
    Written written() const;
    qint64 bytesWritten() const { return std::max<qint64>(m_session.bytesWritten(), 0); }
    qint64 imageSize() const { return m_plan.image.size(); }
    // The memory was read and saved in the plan's backup.
    bool backupSaved() const { return m_backupSaved; }

signals:
    void report(const tavlo::LinkProblem &problem);
    void retrying();
    // The progress of the write ("write ") or verify ("verify"); hidden at 0 of 0.
    void progress(const char *stage, qint64 done, qint64 total);
    void finished(tavlo::cli::Outcome outcome);

private:
    enum class Step { Settle, Backup, Write, Verify, Compare, Read, Reset };

    void begin();
    void onEnded(TransferEnd end);
    void onDone();
    void dumpArrived();
    void compare();
    bool acceptable() const;
    void resetThen(Outcome outcome);
    void afterReset(TransferEnd end);
    void interrupted(TransferEnd end);
    void finish(Outcome outcome);
    LinkProblem problem(LinkProblem::Kind kind) const;
    void reportReopenFailed();

    LinkSession &m_session;
    RunPlan m_plan;
    Step m_step = Step::Settle;
    Outcome m_outcome = Outcome::Completed;
    bool m_saved = false; // read: the file holds the memory
    bool m_backupSaved = false;
    bool m_writing = false; // a write began: a lost port says what the device holds
    LinkProblem m_pending;  // said once the reset that follows it is done
    bool m_hasPending = false;
    QList<qint64> m_mismatches;
    int m_failures = 0;
};

} // namespace tavlo::cli
