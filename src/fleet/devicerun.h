// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devicelink.h"
#include "linkfacts.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace tavlo {

enum class DeviceAction { Write, Read, Verify };

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
// saved where the command line says.
class DeviceRun : public QObject {
    Q_OBJECT
public:
    DeviceRun(DeviceLink &link, RunPlan plan);

    // Opens the port, lets the device settle and begins the action; its end
    // comes as finished(), the port still open.
    void start();
    // start(), and the event loop until the action ends.
    LinkResult run();
    // Once the action ended: lets go of the port once its last bytes are
    // out; released() follows.
    void release();
    // release(), and the event loop until it is done.
    void releaseAndWait();
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
    // A port that would not open, or no image to write.
    void report(const tavlo::LinkProblem &problem);
    void retrying();
    // The progress of the write (Writing), of a reply (Reading) or of the
    // verify (Comparing); hidden at 0 of 0.
    void progress(tavlo::LinkPhase phase, qint64 done, qint64 total);
    void finished(const tavlo::LinkResult &result);
    void released();

private:
    enum class State { Idle, Settling, Acting, Ended, Releasing };
    void linkFinished(const LinkResult &result);
    void begin();
    void settled(const LinkResult &result);
    void answer(const LinkQuestion &question);
    void store(const LinkQuestion &question);
    void finish(const LinkResult &result);

    DeviceLink &m_link;
    RunPlan m_plan;
    State m_state = State::Idle;
    bool m_backupSaved = false;
    bool m_settleStopped = false;
    bool m_leftAlone = false;
    bool m_outputFailed = false;
    int m_failures = 0;
    LinkPhase m_phase = LinkPhase::Writing;
    LinkResult m_result;
};

} // namespace tavlo
