// SPDX-License-Identifier: GPL-3.0-or-later
// The port's life and the actions' steps; each step is one transfer of the
// session, and the next is chosen when it ends.
#include "devicelink.h"

#include "protocol.h"
#include "serialport.h"
#include "ticker.h"

namespace tavlo {

using namespace protocol;

DeviceLink::DeviceLink(SerialPort &port, Ticker &ticker, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_session(port, ticker)
{
    connect(&m_session, &LinkSession::ended, this, &DeviceLink::onEnded);
    connect(&m_session, &LinkSession::byteWritten, this, &DeviceLink::byteWritten);
    connect(&m_session, &LinkSession::phase, this, [this](LinkPhase phase) {
        if (phase == LinkPhase::Settling && m_step == Step::Writing)
            emit fillMarked();
    });
    connect(&m_session, &LinkSession::progress, this, [this](qint64 done, qint64 total) {
        if (m_step == Step::Writing)
            emit filled(done, total);
    });
    // A port that goes away between transfers: while a question waits, the
    // action ends with it; with no action, it is said at once.
    connect(&m_session, &LinkSession::portLost, this, [this](const QString &name) {
        if (m_step == Step::Idle) {
            reportLost(name);
            emit portClosed();
        } else {
            interrupted(TransferEnd::PortLost);
        }
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
        emit report(failed);
        emit portClosed();
        return false;
    }
    return true;
}

bool DeviceLink::checkPort()
{
    if (m_port.isOpen())
        return true;
    emit report(problem(LinkProblem::Kind::NoPort));
    return false;
}

void DeviceLink::closePort()
{
    m_session.close();
}

void DeviceLink::abort()
{
    m_aborted = true;
    closePort();
    if (m_session.isRunning())
        m_session.abort(); // ends the transfer: Aborted
    else if (isBusy())
        finish(Outcome::Aborted);
}

bool DeviceLink::awaitsAnswer() const
{
    return m_step == Step::AskLength || m_step == Step::AskBackupReply ||
           m_step == Step::AskRetry || m_step == Step::AskReadReply ||
           m_step == Step::AskVerifyReply || m_step == Step::SaveBackup || m_step == Step::SaveRead;
}

void DeviceLink::stop()
{
    const bool asking = awaitsAnswer();
    m_session.stop();
    if (asking)
        interrupted(TransferEnd::Stopped);
}

bool DeviceLink::writeAndVerify(const QByteArray &image, bool backup)
{
    m_backup = backup;
    return begin(Action::Write, image);
}

bool DeviceLink::readToFile()
{
    m_backup = false;
    return begin(Action::Read, QByteArray());
}

bool DeviceLink::verifyOnly(const QByteArray &image)
{
    m_backup = false;
    return begin(Action::Verify, image);
}

bool DeviceLink::settle(std::chrono::milliseconds time)
{
    if (isBusy())
        return false;
    m_action = Action::Settle;
    m_step = Step::Settling;
    m_aborted = false;
    emit busyChanged(true);
    m_session.startPause(std::chrono::ceil<Tick>(time));
    return true;
}

bool DeviceLink::begin(Action action, const QByteArray &image)
{
    if (!checkPort() || isBusy())
        return false;
    // Writing nothing, or comparing nothing, would end "verified" with the
    // device as it was.
    if (action != Action::Read && image.isEmpty()) {
        emit report(problem(LinkProblem::Kind::EmptyImage));
        return false;
    }
    m_action = action;
    m_image = image;
    m_wrote = false;
    m_sayEnd = false;
    m_mismatches.clear();
    m_saved = false;
    m_hasPending = false;
    m_aborted = false;
    m_lostWhileAsked = false;
    m_step = Step::Resetting; // busy from here; the step is set below
    emit busyChanged(true);
    switch (action) {
    case Action::Write:
        if (image.size() != ImageSize) {
            ask(Step::AskLength);
            return true;
        }
        if (m_backup) {
            m_step = Step::Backup;
            m_session.startDump();
        } else {
            startWrite();
        }
        return true;
    case Action::Read:
        emit stage(LinkStage::ReadStarted);
        m_step = Step::Reading;
        m_session.startDump();
        return true;
    case Action::Verify:
        emit stage(LinkStage::VerifyStarted);
        m_step = Step::VerifyRead;
        m_session.startDump();
        return true;
    case Action::Settle:
        break;
    }
    return true;
}

void DeviceLink::ask(Step step)
{
    m_step = step;
    switch (step) {
    case Step::AskLength:
        emit lengthQuestion(m_image.size());
        return;
    case Step::AskBackupReply:
        emit replyQuestion(m_session.reply(), ReplyUse::Backup);
        return;
    case Step::AskReadReply:
        emit replyQuestion(m_session.reply(), ReplyUse::Read);
        return;
    case Step::AskVerifyReply:
        emit replyQuestion(m_session.reply(), ReplyUse::Verify);
        return;
    case Step::AskRetry:
        emit retryQuestion();
        return;
    case Step::SaveBackup:
        emit memoryRead(m_session.reply().memory(), ReplyUse::Backup);
        return;
    case Step::SaveRead:
        emit memoryRead(m_session.reply().memory(), ReplyUse::Read);
        return;
    default:
        return;
    }
}

void DeviceLink::answer(bool yes)
{
    switch (m_step) {
    case Step::AskLength:
        if (!yes)
            return finish(Outcome::Cancelled);
        if (m_backup) {
            m_step = Step::Backup;
            m_session.startDump();
            return;
        }
        return startWrite();
    case Step::AskBackupReply:
    case Step::AskReadReply:
    case Step::AskVerifyReply:
        return replyTaken(yes);
    case Step::AskRetry:
        if (yes)
            return startWrite();
        m_step = Step::VerifyPause; // the verdict: the closing reset
        return resetThen(Outcome::VerifyFailed);
    default:
        return; // no question waits: stopped or lost meanwhile
    }
}

void DeviceLink::saved(const QString &path, bool ok, const QString &reason)
{
    if (m_step == Step::SaveBackup) {
        if (ok)
            return startWrite();
        m_pending = problem(LinkProblem::Kind::BackupNotSaved);
        m_pending.path = path;
        m_pending.reason = reason;
        m_hasPending = true;
        m_endStage = LinkStage::ReadFailed;
        m_sayEnd = true;
        return resetThen(Outcome::SaveFailed);
    }
    if (m_step != Step::SaveRead)
        return;
    m_saved = ok;
    m_savedPath = path;
    if (!ok) {
        m_pending = problem(LinkProblem::Kind::SaveFailed);
        m_pending.path = path;
        m_pending.reason = reason;
        m_hasPending = true;
        m_endStage = LinkStage::ReadFailed;
    } else {
        m_endStage = LinkStage::ReadFinished;
    }
    m_sayEnd = true;
    resetThen(ok ? Outcome::Completed : Outcome::SaveFailed);
}

void DeviceLink::cancelled()
{
    if (m_step == Step::SaveRead || m_step == Step::SaveBackup)
        finish(Outcome::Cancelled);
}

// ESC "D", every byte of the image and the filler, each followed by a tick.
void DeviceLink::startWrite()
{
    m_step = Step::Writing;
    emit fillBegun(Fill::Write);
    emit stage(LinkStage::WriteStarted);
    emit transferShown(true);
    m_wrote = true;
    m_session.startWrite(m_image);
}

void DeviceLink::onEnded(TransferEnd end)
{
    if (m_step == Step::Resetting)
        return afterReset(end);
    if (end != TransferEnd::Done)
        return interrupted(end);
    onDone();
}

void DeviceLink::onDone()
{
    switch (m_step) {
    case Step::Settling:
        return finish(Outcome::Completed);
    case Step::Writing:
        emit fillEmptied(Fill::Verify);
        emit stage(LinkStage::WriteFinished);
        emit stage(LinkStage::VerifyStarted);
        m_step = Step::VerifyRead;
        m_session.startDump();
        return;
    case Step::Backup:
    case Step::Reading:
    case Step::VerifyRead:
        return dumpArrived();
    case Step::BackupAgain:
        return backupReadAgain();
    case Step::VerifyPause:
        return compare();
    default:
        return;
    }
}

// Only this device's memory dump is its memory; anything else is put to the
// caller, who may take it (a read of another memory size) or not.
void DeviceLink::dumpArrived()
{
    if (m_session.reply().isStandard())
        return replyTaken(true);
    switch (m_step) {
    case Step::Backup:
        return ask(Step::AskBackupReply);
    case Step::Reading:
        return ask(Step::AskReadReply);
    default:
        return ask(Step::AskVerifyReply);
    }
}

void DeviceLink::replyTaken(bool taken)
{
    if (!taken)
        return notADump();
    switch (m_step) {
    case Step::Backup:
    case Step::AskBackupReply:
        // A link that garbles a byte now and then would make a backup of
        // what the device never held: the memory is read twice.
        m_firstBackup = m_session.reply().bytes;
        m_step = Step::BackupAgain;
        m_session.startDump();
        return;
    case Step::Reading:
    case Step::AskReadReply:
        return ask(Step::SaveRead);
    default:
        break;
    }
    emit fillBegun(Fill::Verify);
    if (m_action == Action::Verify)
        return compare();
    m_step = Step::VerifyPause; // a tick before the comparison
    m_session.startPause(ByteGap);
}

void DeviceLink::backupReadAgain()
{
    if (m_session.reply().bytes == m_firstBackup)
        return ask(Step::SaveBackup);
    m_pending = problem(LinkProblem::Kind::UnstableReplies);
    m_hasPending = true;
    m_endStage = LinkStage::ReadFailed;
    m_sayEnd = true;
    resetThen(Outcome::Unstable);
}

// Every byte of the image against the reply; the count byte is not compared.
void DeviceLink::compare()
{
    const QByteArray &reply = m_session.reply().bytes;
    m_mismatches.clear();
    for (qsizetype i = 1; i <= m_image.size(); ++i) {
        if (i >= reply.size() || reply.at(i) != m_image.at(i - 1))
            m_mismatches.append(i - 1);
        emit filled(i, m_image.size());
    }
    const bool failed = !m_mismatches.isEmpty();
    if (failed && m_action == Action::Write)
        return ask(Step::AskRetry);
    resetThen(failed ? Outcome::VerifyFailed : Outcome::Completed);
}

// Nothing is saved or written from such a reply; the device is reset as at
// the end of every action, so whatever it is in, it leaves.
void DeviceLink::notADump()
{
    emit fillHidden();
    m_endStage = m_step == Step::VerifyRead || m_step == Step::AskVerifyReply
                     ? LinkStage::VerifyFailed
                     : LinkStage::ReadFailed;
    m_sayEnd = true;
    m_step = Step::VerifyRead; // not a verdict
    resetThen(Outcome::NotADump);
}

} // namespace tavlo
