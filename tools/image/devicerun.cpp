// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicerun.h"

#include "files.h"
#include "protocol.h"
#include "serialport.h"

#include <QEventLoop>

namespace tavlo::cli {

DeviceRun::DeviceRun(LinkSession &session, RunPlan plan)
    : m_session(session)
    , m_plan(std::move(plan))
{
    connect(&m_session, &LinkSession::ended, this, &DeviceRun::onEnded);
    connect(&m_session, &LinkSession::progress, this, [this](qint64 done, qint64 total) {
        if (m_step == Step::Write)
            emit progress("write ", done, total);
    });
}

Outcome DeviceRun::run()
{
    QEventLoop loop;
    connect(this, &DeviceRun::finished, &loop, &QEventLoop::quit);
    start();
    loop.exec();
    return m_outcome;
}

void DeviceRun::start()
{
    if (!m_session.open(m_plan.port)) {
        LinkProblem failed = problem(LinkProblem::Kind::OpenFailed);
        failed.openFailure = m_session.port().openFailure();
        failed.reason = m_session.port().errorString();
        emit report(failed);
        // On the event loop, as every other end comes.
        QMetaObject::invokeMethod(
            this, [this] { finish(Outcome::NoPort); }, Qt::QueuedConnection);
        return;
    }
    // The port is opened as choosing it in the window opens it; the device
    // then has the settle time to wake.
    if (m_plan.settleMs > 0)
        m_session.startPause(
            std::chrono::ceil<protocol::Tick>(std::chrono::milliseconds(m_plan.settleMs)));
    else
        begin();
}

void DeviceRun::begin()
{
    switch (m_plan.action) {
    case DeviceAction::Write:
        if (m_plan.backup.isEmpty()) {
            m_step = Step::Write;
            m_writing = true;
            m_session.startWrite(m_plan.image);
            return;
        }
        m_step = Step::Backup;
        break;
    case DeviceAction::Read:
        m_step = Step::Read;
        break;
    case DeviceAction::Verify:
        m_step = Step::Verify;
        break;
    }
    m_session.startDump();
}

void DeviceRun::onEnded(TransferEnd end)
{
    if (m_step == Step::Reset)
        return afterReset(end);
    if (end == TransferEnd::Done)
        return onDone();
    interrupted(end);
}

void DeviceRun::onDone()
{
    switch (m_step) {
    case Step::Settle:
        return begin();
    case Step::Write:
        m_step = Step::Verify;
        m_session.startDump();
        return;
    case Step::Backup:
    case Step::Read:
    case Step::Verify:
        return dumpArrived();
    case Step::Compare:
        return compare();
    case Step::Reset:
        break;
    }
}

bool DeviceRun::acceptable() const
{
    const DumpReply &r = m_session.reply();
    return r.isStandard() || (m_plan.anyLength && r.isExact());
}

// Nothing is saved or written from a reply that is no memory dump; the
// device is reset as at the end of every action, so whatever it is in, it
// leaves.
void DeviceRun::dumpArrived()
{
    if (!acceptable())
        return resetThen(Outcome::NotADump);
    const QByteArray memory = m_session.reply().memory();
    if (m_step == Step::Verify) {
        if (m_plan.action == DeviceAction::Verify)
            return compare();
        m_step = Step::Compare; // a tick before the comparison, as the window has it
        m_session.startPause(protocol::ByteGap);
        return;
    }
    const QString path = m_step == Step::Backup ? m_plan.backup : m_plan.saveTo;
    const Status<> saved = files::writeFileSafely(path, memory);
    if (!saved) {
        m_pending = problem(m_step == Step::Backup ? LinkProblem::Kind::BackupNotSaved
                                                   : LinkProblem::Kind::SaveFailed);
        m_pending.path = path;
        m_pending.reason = saved.error();
        m_hasPending = true;
        return resetThen(Outcome::SaveFailed);
    }
    if (m_step == Step::Read) {
        m_saved = true;
        return resetThen(Outcome::Completed);
    }
    m_backupSaved = true;
    m_step = Step::Write;
    m_writing = true;
    m_session.startWrite(m_plan.image);
}

// Every byte of the image against the reply; the count byte is not compared.
void DeviceRun::compare()
{
    const QByteArray &reply = m_session.reply().bytes;
    const QByteArray &image = m_plan.image;
    m_mismatches.clear();
    for (qsizetype i = 1; i <= image.size(); ++i)
        if (i >= reply.size() || reply.at(i) != image.at(i - 1))
            m_mismatches.append(i - 1);
    emit progress("verify", image.size(), image.size());
    const bool failed = !m_mismatches.isEmpty();
    if (failed && m_plan.action == DeviceAction::Write) {
        ++m_failures;
        if (m_plan.retries > 0) {
            --m_plan.retries;
            emit retrying();
            m_step = Step::Write;
            m_session.startWrite(m_plan.image);
            return;
        }
    }
    resetThen(failed ? Outcome::VerifyFailed : Outcome::Completed);
}

void DeviceRun::resetThen(Outcome outcome)
{
    emit progress("", 0, 0);
    m_outcome = outcome;
    m_step = Step::Reset;
    m_session.clearStop(); // a stopped action still ends with a whole reset
    m_session.startReset();
}

// The end of the reset that ends every action.
void DeviceRun::afterReset(TransferEnd end)
{
    const bool verdict = m_outcome == Outcome::Completed || m_outcome == Outcome::VerifyFailed;
    if (end == TransferEnd::Done) {
        if (m_hasPending)
            emit report(m_pending);
        return finish(m_outcome);
    }
    if (m_saved) {
        // What was read is saved; only the reset after it failed.
        LinkProblem lost = problem(LinkProblem::Kind::SavedButPortLost);
        lost.path = m_plan.saveTo;
        if (end == TransferEnd::NotReopened) {
            lost.openFailure = m_session.port().openFailure();
            lost.reason = m_session.port().errorString();
        }
        m_session.close();
        emit report(lost);
        return finish(Outcome::SavedResetFailed);
    }
    if (end == TransferEnd::NotReopened) {
        reportReopenFailed();
        return finish(verdict ? m_outcome : Outcome::PortLost); // a verdict stands
    }
    m_session.close();
    emit report(problem(LinkProblem::Kind::PortLost));
    finish(Outcome::PortLost);
}

void DeviceRun::interrupted(TransferEnd end)
{
    switch (end) {
    case TransferEnd::Stopped:
        if (m_step == Step::Settle)
            return finish(Outcome::StoppedSettling); // nothing was sent to reset
        return resetThen(Outcome::Stopped);
    case TransferEnd::TimedOut: {
        const bool nothing = m_session.replyExpected() < 0;
        m_pending =
            problem(nothing ? LinkProblem::Kind::NoReply : LinkProblem::Kind::ReplyCutShort);
        m_pending.received = m_session.reply().received();
        m_pending.expected = m_session.replyExpected();
        m_hasPending = true;
        return resetThen(Outcome::NoReply);
    }
    case TransferEnd::NotReopened:
        reportReopenFailed();
        return finish(Outcome::PortLost);
    case TransferEnd::Done:
    case TransferEnd::PortLost:
    case TransferEnd::Aborted:
        break;
    }
    m_session.close();
    emit report(problem(LinkProblem::Kind::PortLost));
    finish(Outcome::PortLost);
}

void DeviceRun::reportReopenFailed()
{
    LinkProblem failed = problem(LinkProblem::Kind::ReopenFailed);
    failed.openFailure = m_session.port().openFailure();
    failed.reason = m_session.port().errorString();
    m_session.close();
    emit report(failed);
}

void DeviceRun::finish(Outcome outcome)
{
    m_outcome = outcome;
    emit finished(outcome);
}

Written DeviceRun::written() const
{
    const qint64 sent = m_session.bytesWritten();
    if (!m_writing || sent <= 0)
        return Written::Nothing;
    return sent < m_plan.image.size() ? Written::Part : Written::All;
}

LinkProblem DeviceRun::problem(LinkProblem::Kind kind) const
{
    LinkProblem p;
    p.kind = kind;
    p.port = m_plan.port;
    p.duringWrite = m_writing;
    p.written = written();
    p.bytesWritten = bytesWritten();
    p.imageSize = m_plan.image.size();
    return p;
}

} // namespace tavlo::cli
