// SPDX-License-Identifier: GPL-3.0-or-later
// The port's life, and each action one function of its step and the event
// that moved it on; devicelinkend.cpp has how actions end.
#include "devicelink.h"

#include "protocol.h"
#include "serialport.h"
#include "ticker.h"

namespace tavlo {

using namespace protocol;
using End = LinkResult::End;

namespace {

// After the closing reset the port is let go only once the wake-up ESC is
// out: a device that sees the port close at once may never receive it.
constexpr Tick Linger{10};

} // namespace

DeviceLink::DeviceLink(SerialPort &port, Ticker &ticker, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_session(port, ticker)
{
    connect(&m_session, &LinkSession::ended, this, &DeviceLink::onTransferEnded);
    connect(&m_session, &LinkSession::byteWritten, this, &DeviceLink::byteWritten);
    connect(&m_session, &LinkSession::phase, this, [this](LinkPhase phase) {
        if (phase == LinkPhase::Settling && m_step == Step::Writing)
            emit phaseChanged(phase);
    });
    // Within Writing, and within Reading: the reply as it comes.
    connect(&m_session, &LinkSession::progress, this, &DeviceLink::progressed);
    // A port that goes away between transfers: while a question waits, the
    // action ends with it; with no action, it is said at once.
    connect(&m_session, &LinkSession::portLost, this, [this] {
        if (isBusy())
            return interrupted(TransferEnd::PortLost);
        emit problemReported(lost());
        emit portClosed();
    });
}

DeviceLink::~DeviceLink() = default;

bool DeviceLink::isPortOpen() const
{
    return m_port.isOpen();
}

QString DeviceLink::portName() const
{
    return m_port.name();
}

bool DeviceLink::choosePort(const QString &name)
{
    if (isBusy())
        return false;
    if (!m_session.open(name)) {
        LinkProblem failed = problem(LinkProblem::Kind::OpenFailed);
        failed.port = name;
        failed.openFailure = m_port.openFailure();
        failed.reason = m_port.errorString();
        emit problemReported(failed);
        emit portClosed();
        return false;
    }
    return true;
}

bool DeviceLink::checkPort()
{
    if (m_port.isOpen())
        return true;
    emit problemReported(problem(LinkProblem::Kind::NoPort));
    return false;
}

void DeviceLink::closePort()
{
    m_session.close();
}

bool DeviceLink::write(const QByteArray &image, bool backup)
{
    m_backup = backup;
    return begin(Action::Write, image);
}

bool DeviceLink::read()
{
    return begin(Action::Read, QByteArray());
}

bool DeviceLink::verify(const QByteArray &image)
{
    return begin(Action::Verify, image);
}

bool DeviceLink::settle(std::chrono::milliseconds time)
{
    if (isBusy())
        return false;
    m_action = Action::Settle;
    emit busyChanged(true);
    m_step = Step::Waiting;
    emit phaseChanged(LinkPhase::Pausing);
    m_session.startPause(std::chrono::ceil<Tick>(time));
    return true;
}

bool DeviceLink::release()
{
    if (isBusy())
        return false;
    m_action = Action::Release;
    emit busyChanged(true);
    m_step = Step::Waiting;
    m_session.startPause(m_port.isOpen() ? Linger : Tick(0));
    return true;
}

bool DeviceLink::begin(Action action, const QByteArray &image)
{
    if (isBusy() || !checkPort())
        return false;
    // Writing nothing, or comparing nothing, would end "verified" with the
    // device as it was.
    if (action != Action::Read && image.isEmpty()) {
        emit problemReported(problem(LinkProblem::Kind::EmptyImage));
        return false;
    }
    m_action = action;
    m_image = image;
    m_wrote = false;
    m_readSaved = false;
    m_aborting = false;
    m_mismatches.clear();
    m_question.reset();
    m_endStage.reset();
    m_result = LinkResult();
    m_step = Step::Starting;
    emit busyChanged(true);
    dispatch(Event::Started);
    return true;
}

void DeviceLink::onTransferEnded(TransferEnd end)
{
    if (!isBusy())
        return;
    if (m_step == Step::Closing)
        return closingReset(end);
    if (end != TransferEnd::Done)
        return interrupted(end);
    dispatch(Event::Done);
}

void DeviceLink::dispatch(Event event)
{
    switch (m_action) {
    case Action::Write:
        return writeStep(event);
    case Action::Read:
        return readStep(event);
    case Action::Verify:
        return verifyStep(event);
    case Action::Settle:
    case Action::Release:
        return waitStep();
    case Action::None:
        return;
    }
}

// The write, as drawn in the header: up to the write, then from it.
void DeviceLink::writeStep(Event event)
{
    switch (m_step) {
    case Step::Starting:
    case Step::AskLength:
        return beforeWriteStep(event);
    case Step::Backup:
    case Step::AskBackupReply:
    case Step::BackupAgain:
    case Step::SaveBackup:
        return backupStep(event);
    default:
        return writeAndVerifyStep(event);
    }
}

// The length question.
void DeviceLink::beforeWriteStep(Event event)
{
    switch (m_step) {
    case Step::Starting:
        if (m_image.size() != ImageSize) {
            LinkQuestion length(LinkQuestion::Kind::Length);
            length.size = m_image.size();
            return ask(Step::AskLength, length);
        }
        [[fallthrough]];
    case Step::AskLength:
        if (event == Event::No)
            return end({End::Cancelled});
        if (m_backup)
            return startDump(Step::Backup);
        return startWrite();
    default:
        return;
    }
}

// The backup: the memory read twice, the same both times, and saved.
void DeviceLink::backupStep(Event event)
{
    switch (m_step) {
    case Step::Backup:
        if (!replyIsMemory(Step::AskBackupReply, ReplyUse::Backup))
            return;
        [[fallthrough]];
    case Step::AskBackupReply:
        if (event == Event::No)
            return closeWith(failedOn(ReplyUse::Backup), LinkStage::ReadFailed);
        // A link that garbles a byte now and then would make a backup of
        // what the device never held: the memory is read twice.
        m_firstBackup = m_session.reply().bytes;
        return startDump(Step::BackupAgain);
    case Step::BackupAgain:
        if (m_session.reply().bytes != m_firstBackup)
            return closeWith(failed(LinkProblem::Kind::UnstableReplies), LinkStage::ReadFailed);
        return askToSave(Step::SaveBackup, ReplyUse::Backup);
    case Step::SaveBackup:
        if (event == Event::No)
            return end({End::Cancelled});
        if (event == Event::NotSaved)
            return closeWith(saveFailed(LinkProblem::Kind::BackupNotSaved), LinkStage::ReadFailed);
        return startWrite();
    default:
        return;
    }
}

// The write, the read back, the comparison and the question to write again.
void DeviceLink::writeAndVerifyStep(Event event)
{
    switch (m_step) {
    case Step::Writing:
        emit stageChanged(LinkStage::WriteFinished);
        emit stageChanged(LinkStage::VerifyStarted);
        return startDump(Step::ReadBack);
    case Step::ReadBack:
        if (!replyIsMemory(Step::AskVerifyReply, ReplyUse::Verify))
            return;
        [[fallthrough]];
    case Step::AskVerifyReply:
        if (event == Event::No)
            return closeWith(failedOn(ReplyUse::Verify), LinkStage::VerifyFailed);
        emit phaseChanged(LinkPhase::Comparing);
        m_step = Step::VerifyPause; // a tick before the comparison
        m_session.startPause(ByteGap);
        return;
    case Step::VerifyPause:
        if (compare())
            return closeWith({End::Completed}, LinkStage::VerifyCompleted);
        return ask(Step::AskRetry, LinkQuestion(LinkQuestion::Kind::Retry));
    case Step::AskRetry:
        if (event == Event::Yes)
            return startWrite();
        return closeWith({End::VerifyFailed}, LinkStage::VerifyFailed);
    default:
        return;
    }
}

// The read: the memory, to be saved by the caller.
void DeviceLink::readStep(Event event)
{
    switch (m_step) {
    case Step::Starting:
        emit stageChanged(LinkStage::ReadStarted);
        return startDump(Step::Reading);
    case Step::Reading:
        if (!replyIsMemory(Step::AskReadReply, ReplyUse::Read))
            return;
        [[fallthrough]];
    case Step::AskReadReply:
        if (event == Event::No)
            return closeWith(failedOn(ReplyUse::Read), LinkStage::ReadFailed);
        return askToSave(Step::SaveRead, ReplyUse::Read);
    case Step::SaveRead:
        if (event == Event::No)
            return end({End::Cancelled}); // the device is not reset, as the dialog cancelled
        if (event == Event::NotSaved)
            return closeWith(saveFailed(LinkProblem::Kind::SaveFailed), LinkStage::ReadFailed);
        m_readSaved = true;
        return closeWith({End::Completed}, LinkStage::ReadFinished);
    default:
        return;
    }
}

// The verify alone: the memory compared at once, nothing written.
void DeviceLink::verifyStep(Event event)
{
    switch (m_step) {
    case Step::Starting:
        emit stageChanged(LinkStage::VerifyStarted);
        return startDump(Step::ReadBack);
    case Step::ReadBack:
        if (!replyIsMemory(Step::AskVerifyReply, ReplyUse::Verify))
            return;
        [[fallthrough]];
    case Step::AskVerifyReply:
        if (event == Event::No)
            return closeWith(failedOn(ReplyUse::Verify), LinkStage::VerifyFailed);
        emit phaseChanged(LinkPhase::Comparing);
        if (compare())
            return closeWith({End::Completed}, LinkStage::VerifyCompleted);
        return closeWith({End::VerifyFailed}, LinkStage::VerifyFailed);
    default:
        return;
    }
}

// Settle and release: one pause, and for a release the port closed after it.
void DeviceLink::waitStep()
{
    if (m_action == Action::Release)
        closePort();
    end({End::Completed});
}

// ESC "D", every byte of the image and the filler, each followed by a tick.
void DeviceLink::startWrite()
{
    m_step = Step::Writing;
    m_wrote = true;
    emit phaseChanged(LinkPhase::Writing);
    emit stageChanged(LinkStage::WriteStarted);
    m_session.startWrite(m_image);
}

void DeviceLink::startDump(Step step)
{
    m_step = step;
    emit phaseChanged(LinkPhase::Reading);
    m_session.startDump();
}

// Only this device's memory dump is its memory; anything else is put to the
// caller, who may take it (a read of another memory size) or not.
bool DeviceLink::replyIsMemory(Step asking, ReplyUse use)
{
    if (m_session.reply().isStandard())
        return true;
    LinkQuestion odd(LinkQuestion::Kind::Reply);
    odd.reply = m_session.reply();
    odd.use = use;
    ask(asking, odd);
    return false;
}

void DeviceLink::askToSave(Step step, ReplyUse use)
{
    LinkQuestion save(LinkQuestion::Kind::Save);
    save.memory = m_session.reply().memory();
    save.use = use;
    ask(step, save);
}

// Asked from the event loop: whoever answers may open a dialog, and no
// dialog runs inside a transfer that is ending.
void DeviceLink::ask(Step step, LinkQuestion question)
{
    m_step = step;
    question.token = ++m_lastToken;
    m_question = question.token;
    m_questionKind = question.kind;
    QMetaObject::invokeMethod(
        this,
        [this, question] {
            if (m_question == question.token)
                emit asked(question);
        },
        Qt::QueuedConnection);
}

// A token that is not the open question's is an answer to one that a stop,
// an abort or a lost port has already ended.
bool DeviceLink::takeAnswer(quint64 token, bool save)
{
    if (m_question != token || (m_questionKind == LinkQuestion::Kind::Save) != save)
        return false;
    m_question.reset();
    return true;
}

void DeviceLink::answer(quint64 token, bool yes)
{
    if (takeAnswer(token, false))
        dispatch(yes ? Event::Yes : Event::No);
}

void DeviceLink::saved(quint64 token, const QString &path, bool ok, const QString &reason)
{
    if (!takeAnswer(token, true))
        return;
    m_savedPath = path;
    m_saveReason = reason;
    dispatch(ok ? Event::Saved : Event::NotSaved);
}

void DeviceLink::cancelled(quint64 token)
{
    if (takeAnswer(token, true))
        dispatch(Event::No);
}

// Every byte of the image against the reply; the count byte is not compared.
// True when they all agree.
bool DeviceLink::compare()
{
    const QByteArray &reply = m_session.reply().bytes;
    m_mismatches.clear();
    for (qsizetype i = 1; i <= m_image.size(); ++i) {
        if (i >= reply.size() || reply.at(i) != m_image.at(i - 1))
            m_mismatches.append(i - 1);
        emit progressed(i, m_image.size());
    }
    return m_mismatches.isEmpty();
}

} // namespace tavlo

#include "moc_devicelink.cpp"
