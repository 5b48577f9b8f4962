// SPDX-License-Identifier: GPL-3.0-or-later
// How an action ends: the reset that closes every action, interruptions,
// timeouts and a port that will not open again, and what is said of them.
#include "devicelink.h"

#include "protocol.h"
#include "serialport.h"
#include "ticker.h"

namespace tavlo {

using namespace protocol;

void DeviceLink::resetThen(Outcome outcome)
{
    const bool verdict = (outcome == Outcome::Completed || outcome == Outcome::VerifyFailed) &&
                         m_action != Action::Read;
    if (verdict) {
        emit fillHidden();
        m_endStage =
            outcome == Outcome::Completed ? LinkStage::VerifyCompleted : LinkStage::VerifyFailed;
        m_sayEnd = true;
    }
    m_outcome = outcome;
    m_step = Step::Resetting;
    m_session.clearStop(); // a stopped action still ends with a whole reset
    m_session.startReset();
}

// The end of the reset that ends an action.
void DeviceLink::afterReset(TransferEnd end)
{
    const bool verdict = (m_outcome == Outcome::Completed || m_outcome == Outcome::VerifyFailed) &&
                         m_action != Action::Read;
    if (end != TransferEnd::Done && m_saved) {
        // What was read is saved; only the reset after it failed.
        LinkProblem lost = problem(LinkProblem::Kind::SavedButPortLost);
        lost.path = m_savedPath;
        if (end == TransferEnd::NotReopened) {
            lost.openFailure = m_port.openFailure();
            lost.reason = m_port.errorString();
        }
        closePort();
        emit stage(LinkStage::PortLost);
        emit report(lost);
        emit portClosed();
        return finish(Outcome::SavedResetFailed);
    }
    if (end == TransferEnd::NotReopened && verdict)
        reportReopenFailed(); // the verdict stands
    else if (end != TransferEnd::Done)
        return interrupted(end);
    if ((verdict && m_action == Action::Write) || m_outcome == Outcome::NotADump)
        emit transferShown(false);
    if (m_sayEnd)
        emit stage(m_endStage);
    if (m_hasPending)
        emit report(m_pending);
    finish(m_outcome);
}

void DeviceLink::interrupted(TransferEnd end)
{
    if (m_step == Step::Idle)
        return;
    if (end == TransferEnd::Aborted || m_aborted) {
        closePort();
        return finish(Outcome::Aborted);
    }
    if (m_action == Action::Settle)
        return settleInterrupted(end);
    m_step = Step::Resetting; // whatever ran, only a reset may follow
    emit fillHidden();
    emit transferShown(false);
    switch (end) {
    case TransferEnd::Stopped:
        emit stage(LinkStage::Stopped);
        m_sayEnd = false;
        m_hasPending = false;
        m_outcome = Outcome::Stopped;
        m_session.clearStop();
        m_session.startReset();
        return;
    case TransferEnd::TimedOut:
        return timedOut();
    case TransferEnd::NotReopened: {
        const LinkProblem failed = reopenFailed();
        emit stage(LinkStage::PortLost);
        emit report(failed);
        emit portClosed();
        return finish(Outcome::PortLost);
    }
    default:
        break;
    }
    const QString name = m_port.name();
    closePort();
    emit stage(LinkStage::PortLost);
    reportLost(name);
    emit portClosed();
    finish(Outcome::PortLost);
}

// A settle has sent nothing: a stop or a lost port ends it without a reset.
void DeviceLink::settleInterrupted(TransferEnd end)
{
    if (end == TransferEnd::Stopped)
        return finish(Outcome::Stopped);
    reportLost(m_port.name());
    closePort();
    emit portClosed();
    finish(Outcome::PortLost);
}

// No reply, or part of one: said once the device is reset.
void DeviceLink::timedOut()
{
    const bool nothing = m_session.replyExpected() < 0;
    m_pending = problem(nothing ? LinkProblem::Kind::NoReply : LinkProblem::Kind::ReplyCutShort);
    m_pending.received = m_session.reply().received();
    m_pending.expected = m_session.replyExpected();
    m_hasPending = true;
    m_sayEnd = false;
    emit stage(nothing ? LinkStage::NoReply : LinkStage::ReplyCutShort);
    m_outcome = Outcome::NoReply;
    m_session.startReset();
}

// What the port said when a reset could not open it again; it is closed.
LinkProblem DeviceLink::reopenFailed()
{
    LinkProblem failed = problem(LinkProblem::Kind::ReopenFailed);
    failed.openFailure = m_port.openFailure();
    failed.reason = m_port.errorString();
    closePort();
    return failed;
}

void DeviceLink::reportReopenFailed()
{
    emit report(reopenFailed());
    emit portClosed();
}

void DeviceLink::reportLost(const QString &name)
{
    LinkProblem lost = problem(LinkProblem::Kind::PortLost);
    lost.port = name;
    emit report(lost);
}

void DeviceLink::finish(Outcome outcome)
{
    m_step = Step::Idle;
    m_outcome = outcome;
    m_session.clearStop();
    emit busyChanged(false);
    emit finished(outcome);
}

qint64 DeviceLink::bytesWritten() const
{
    return m_wrote ? std::max<qint64>(m_session.bytesWritten(), 0) : 0;
}

DeviceLink::Written DeviceLink::written() const
{
    const qint64 sent = bytesWritten();
    if (sent <= 0)
        return Written::Nothing;
    return sent < m_image.size() ? Written::Part : Written::All;
}

LinkProblem DeviceLink::problem(LinkProblem::Kind kind) const
{
    LinkProblem p;
    p.kind = kind;
    p.port = m_port.name();
    p.duringWrite = isBusy() && m_wrote;
    p.written = written();
    p.bytesWritten = bytesWritten();
    p.imageSize = m_image.size();
    return p;
}

} // namespace tavlo
