// SPDX-License-Identifier: GPL-3.0-or-later
// How an action ends: the reset that closes every action, interruptions,
// timeouts and a port that will not open again, and the problems they make.
#include "devicelink.h"

#include "protocol.h"
#include "serialport.h"

namespace tavlo {

using End = LinkResult::End;

void DeviceLink::abort()
{
    m_aborting = true;
    closePort();
    if (m_session.isRunning())
        m_session.abort(); // ends the transfer: Aborted
    else if (isBusy())
        end({End::Aborted});
}

void DeviceLink::stop()
{
    const bool asking = awaitsAnswer();
    m_session.stop();
    if (asking)
        interrupted(TransferEnd::Stopped);
}

// The reset that ends every action that talked to the device, then what it
// reached is said.
void DeviceLink::closeWith(LinkResult result, std::optional<LinkStage> stage)
{
    m_result = std::move(result);
    m_endStage = stage;
    m_step = Step::Closing;
    emit phaseChanged(LinkPhase::Resetting);
    m_session.clearStop(); // a stopped action still ends with a whole reset
    m_session.startReset();
}

void DeviceLink::closingReset(TransferEnd ended)
{
    if (ended != TransferEnd::Done && m_readSaved) {
        // What was read is saved; only the reset after it failed.
        LinkProblem gone = problem(LinkProblem::Kind::SavedButPortLost);
        gone.path = m_savedPath;
        if (ended == TransferEnd::NotReopened) {
            gone.openFailure = m_port.openFailure();
            gone.reason = m_port.errorString();
        }
        closePort();
        emit stageChanged(LinkStage::PortLost);
        emit portClosed();
        return end({End::Failed, gone});
    }
    const bool verdict = m_result.end == End::Completed || m_result.end == End::VerifyFailed;
    if (ended == TransferEnd::NotReopened && verdict) {
        m_result.problem = reopenFailed(); // the verdict stands
        emit portClosed();
    } else if (ended != TransferEnd::Done) {
        return interrupted(ended);
    }
    if (m_endStage)
        emit stageChanged(*m_endStage);
    end(m_result);
}

// A stop, a reply that does not come, or a port that goes away, in any step.
void DeviceLink::interrupted(TransferEnd ended)
{
    if (!isBusy())
        return;
    m_question.reset();
    if (ended == TransferEnd::Aborted || m_aborting) {
        closePort();
        return end({End::Aborted});
    }
    if (ended == TransferEnd::Stopped) {
        // A wait sent nothing: no reset.
        if (m_step == Step::Waiting)
            return end({End::Stopped});
        emit stageChanged(LinkStage::Stopped);
        return closeWith({End::Stopped});
    }
    if (ended == TransferEnd::TimedOut) {
        const bool nothing = m_session.replyExpected() < 0;
        LinkProblem none =
            problem(nothing ? LinkProblem::Kind::NoReply : LinkProblem::Kind::ReplyCutShort);
        none.received = m_session.reply().received();
        none.expected = m_session.replyExpected();
        emit stageChanged(nothing ? LinkStage::NoReply : LinkStage::ReplyCutShort);
        return closeWith({End::Failed, none});
    }
    const LinkProblem gone = ended == TransferEnd::NotReopened ? reopenFailed() : lost();
    closePort();
    if (m_step != Step::Waiting)
        emit stageChanged(LinkStage::PortLost);
    emit portClosed();
    end({End::Failed, gone});
}

void DeviceLink::end(LinkResult result)
{
    m_action = Action::None;
    m_question.reset();
    m_session.clearStop();
    emit busyChanged(false);
    emit finished(result);
}

qint64 DeviceLink::bytesWritten() const
{
    return m_wrote ? std::max<qint64>(m_session.bytesWritten(), 0) : 0;
}

Written DeviceLink::written() const
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

LinkResult DeviceLink::failed(LinkProblem::Kind kind) const
{
    return {End::Failed, problem(kind)};
}

// Nothing is saved or written from such a reply; the device is reset as at
// the end of every action, so whatever it is in, it leaves.
LinkResult DeviceLink::failedOn(ReplyUse use) const
{
    LinkProblem odd = problem(LinkProblem::Kind::NotADump);
    odd.reply = m_session.reply();
    odd.received = odd.reply.received();
    odd.use = use;
    return {End::Failed, odd};
}

LinkResult DeviceLink::saveFailed(LinkProblem::Kind kind) const
{
    LinkProblem notSaved = problem(kind);
    notSaved.path = m_savedPath;
    notSaved.reason = m_saveReason;
    return {End::Failed, notSaved};
}

LinkProblem DeviceLink::lost() const
{
    return problem(LinkProblem::Kind::PortLost);
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

} // namespace tavlo
