// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devicecommands.h"
#include "devicelink.h"
#include "linkfacts.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace tavlo::cli {

// How a device action of the tool ended: as the link's actions end.
using Outcome = DeviceLink::Outcome;

struct RunPlan {
    DeviceAction action = DeviceAction::Write;
    QString port;
    QByteArray image; // for write and verify
    QString backup;   // write: where the memory goes first, or empty
    QString saveTo;   // read: the file
    int retries = 0;  // write: writes after a failed verify
    bool anyLength = false;
    int settleMs = 0;
    // write --backup: true for a memory that must not be written over; the
    // run then ends Cancelled with nothing saved or written.
    std::function<bool(const QByteArray &memory)> leaveAlone;
};

// One write, read or verify of the tool on the link: the link's questions
// answered from the command line (--any-length, --retries), what it reads
// saved where the command line says. Failures go to `report` as facts.
class DeviceRun : public QObject {
    Q_OBJECT
public:
    DeviceRun(DeviceLink &link, RunPlan plan);

    // Opens the port, lets the device settle and begins the action; its end
    // comes as finished().
    void start();
    // start(), and the event loop until the action ends.
    Outcome run();
    // A signal: what runs ends in order, the device reset if it had begun.
    void stop() { m_link.stop(); }

    const DumpReply &reply() const { return m_link.lastReply(); }
    QList<qint64> mismatches() const { return m_link.mismatches(); }
    int failures() const { return m_failures; }
    Written written() const { return m_link.written(); }
    qint64 bytesWritten() const { return m_link.bytesWritten(); }
    qint64 imageSize() const { return m_plan.image.size(); }
    // The memory was read and saved in the plan's backup.
    bool backupSaved() const { return m_backupSaved; }
    // A stop came while the device settled: nothing was sent, nothing reset.
    bool settleStopped() const { return m_settleStopped; }
    // The plan's leaveAlone() said so of the memory read.
    bool leftAlone() const { return m_leftAlone; }
    // What was read was for standard output, which could not take it.
    bool outputFailed() const { return m_outputFailed; }

signals:
    void report(const tavlo::LinkProblem &problem);
    void retrying();
    // The progress of the write ("write ") or verify ("verify"); hidden at 0 of 0.
    void progress(const char *stage, qint64 done, qint64 total);
    void finished(tavlo::DeviceLink::Outcome outcome);

private:
    void begin();
    void settled(Outcome outcome);
    void store(const QByteArray &memory, ReplyUse use);
    void finish(Outcome outcome);

    DeviceLink &m_link;
    RunPlan m_plan;
    bool m_settling = false;
    bool m_backupSaved = false;
    bool m_settleStopped = false;
    bool m_leftAlone = false;
    bool m_outputFailed = false;
    int m_failures = 0;
    const char *m_stage = "write ";
    Outcome m_outcome = Outcome::Completed;
};

} // namespace tavlo::cli
