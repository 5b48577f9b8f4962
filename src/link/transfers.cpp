// SPDX-License-Identifier: GPL-3.0-or-later
// The transfers: the memory dump exchange, writing and verifying an image,
// reading the memory into a file. They run on the waits of devicelink.cpp.
#include "devicelink.h"

#include "imagefile.h"
#include "protocol.h"
#include "serialport.h"

namespace tavlo {

using namespace protocol;

namespace {

constexpr int WritePause = DeviceLink::pauseUnits(ByteGap);
constexpr int QuietPause = DeviceLink::pauseUnits(ReplyQuiet);

} // namespace

// The reply is complete when the count byte and as many bytes as it
// announces have come and the device then stays quiet for ReplyQuiet: stray
// bytes, another device or a wrong count show up as a reply that is not exact.
DumpReply DeviceLink::dumpExchangeOrThrow()
{
    m_port.readAll(); // whatever the device sent before does not belong to the reply
    m_replyReceived = 0;
    m_replyExpected = -1;
    m_lastReply = DumpReply{};
    send(DumpCommand);
    waitForBytesOrThrow(1);
    DumpReply reply;
    reply.bytes = m_port.readAll();
    if (reply.bytes.isEmpty())
        throw Interrupted{WaitEnd::PortLost};
    reply.count = static_cast<unsigned char>(reply.bytes.at(0));
    m_replyReceived = reply.bytes.size();
    m_replyExpected = reply.count + 1;
    waitForBytesOrThrow(m_replyExpected - reply.bytes.size());
    reply.bytes += m_port.readAll();
    if (reply.isExact()) {
        pauseOrThrow(QuietPause);
        reply.bytes += m_port.readAll();
    }
    m_lastReply = reply;
    return reply;
}

bool DeviceLink::acceptable(const DumpReply &reply, ReplyUse use)
{
    if (reply.isStandard())
        return true;
    const bool accepted = m_host.acceptReply(reply, use);
    throwIfInterruptedMeanwhile();
    return accepted;
}

// Nothing is saved or written from such a reply; the device is reset as at
// the end of every action, so whatever it is in, it leaves.
DeviceLink::Outcome DeviceLink::notADump(LinkStage stage)
{
    m_host.progressHide();
    resetOrThrow();
    m_host.setStatusTone(StatusTone::ButtonText);
    m_host.setStage(stage);
    return Outcome::NotADump;
}

DeviceLink::Written DeviceLink::written() const
{
    if (m_imageSent <= 0)
        return Written::Nothing;
    return m_imageSent < m_imageSize ? Written::Part : Written::All;
}

// ESC "D", then every byte of the file and the filler, each followed by a tick.
void DeviceLink::sendImage(const QByteArray &file)
{
    const qint64 n = file.size();
    const qint64 filler = fillerCount(n);
    const qint64 total = n + filler;
    m_host.progressBegin(FillColour::Red);
    m_host.setStage(LinkStage::WriteStarted);
    m_host.setStatusTone(StatusTone::Highlight);
    m_imageSize = n;
    m_imageSent = 0;
    send(WriteCommand);
    pauseOrThrow(WritePause);
    for (qint64 i = 1; i <= n; ++i) {
        const auto b = static_cast<unsigned char>(file.at(i - 1));
        send(QByteArray(1, char(b)));
        m_imageSent = i;
        startPause(); // the device's tick begins with the byte, not after the display
        m_host.progressFill(i, total);
        m_host.byteWritten(b);
        throwUnlessDone(finishPause(WritePause));
    }
    // Devices expect the filler after a long file; it is never verified.
    for (qint64 j = 1; j <= filler; ++j) {
        send(QByteArray(1, Filler));
        startPause();
        m_host.progressFill(n + j, total);
        throwUnlessDone(finishPause(WritePause));
    }
    pauseOrThrow(0);
    m_host.progressMark();
    pauseOrThrow(WritePause);
    m_host.progressEmpty(FillColour::Green);
    m_host.setStage(LinkStage::WriteFinished);
    m_host.setStage(LinkStage::VerifyStarted);
}

// Compares every byte of the file with the reply; the count byte is not compared.
bool DeviceLink::verifyAgainst(const QByteArray &file, const QByteArray &reply)
{
    m_mismatches.clear();
    for (qint64 i = 1; i <= file.size(); ++i) {
        if (i >= reply.size() || reply.at(i) != file.at(i - 1))
            m_mismatches.append(i - 1);
        m_host.progressFill(i, file.size());
    }
    return m_mismatches.isEmpty();
}

void DeviceLink::wrapUpWrite()
{
    m_host.progressHide();
    finalResetOrThrow();
    m_host.setStatusTone(StatusTone::ButtonText);
}

// What writing and verifying share: a port and no other action.
template <typename Action>
DeviceLink::Outcome DeviceLink::withImage(const QByteArray &image, Action action)
{
    if (!checkPort())
        return Outcome::NoPort;
    if (m_busy)
        return Outcome::Busy;
    BusyScope busy(*this);
    m_mismatches.clear();
    m_imageSize = image.size();
    return action(image);
}

DeviceLink::Outcome DeviceLink::verifyEnded(bool failed)
{
    m_host.setStage(failed ? LinkStage::VerifyFailed : LinkStage::VerifyCompleted);
    return failed ? Outcome::VerifyFailed : Outcome::Completed;
}

DeviceLink::Outcome DeviceLink::writeAndVerify(const QByteArray &image, const QString &backup)
{
    return withImage(image,
                     [&](const QByteArray &bytes) { return writeAndVerifyImage(bytes, backup); });
}

// What was read could not be saved where it was to go.
DeviceLink::Outcome DeviceLink::notSaved(LinkProblem::Kind kind, const QString &path,
                                         const QString &reason)
{
    m_host.setStage(LinkStage::ReadFailed);
    LinkProblem unsaved = problem(kind);
    unsaved.path = path;
    unsaved.reason = reason;
    m_host.report(unsaved);
    return Outcome::SaveFailed;
}

// Reads the device into the backup; anything but Completed means nothing may be written.
DeviceLink::Outcome DeviceLink::saveBackup(const QString &backup)
{
    const DumpReply reply = dumpExchangeOrThrow();
    if (!acceptable(reply, ReplyUse::Backup))
        return notADump(LinkStage::ReadFailed);
    if (const Status<> saved = writeFileSafely(backup, reply.memory()); !saved) {
        resetOrThrow(); // as a read ends; nothing was written
        return notSaved(LinkProblem::Kind::BackupNotSaved, backup, saved.error());
    }
    return Outcome::Completed;
}

// Every pass writes and verifies the same bytes, read once by the caller.
DeviceLink::Outcome DeviceLink::writeAndVerifyImage(const QByteArray &image, const QString &backup)
{
    bool failed = false;
    try {
        if (image.size() != ImageSize) {
            const bool anyway = m_host.confirmLength(image.size());
            throwIfInterruptedMeanwhile();
            if (!anyway)
                return Outcome::Cancelled;
        }
        if (!backup.isEmpty())
            if (const Outcome saved = saveBackup(backup); saved != Outcome::Completed)
                return saved;
        for (;;) {
            sendImage(image);
            const DumpReply reply = dumpExchangeOrThrow();
            if (!acceptable(reply, ReplyUse::Verify))
                return notADump(LinkStage::VerifyFailed);
            m_host.progressBegin(FillColour::Green);
            pauseOrThrow(WritePause);
            failed = !verifyAgainst(image, reply.bytes);
            if (!failed)
                break;
            const bool again = m_host.askRetry();
            throwIfInterruptedMeanwhile();
            if (!again)
                break;
        }
        wrapUpWrite();
    } catch (const Interrupted &stop) {
        return interrupted(stop.reason);
    }
    return verifyEnded(failed);
}

DeviceLink::Outcome DeviceLink::verifyOnly(const QByteArray &image)
{
    return withImage(image, [this](const QByteArray &bytes) {
        bool failed = false;
        try {
            m_host.setStage(LinkStage::VerifyStarted);
            const DumpReply reply = dumpExchangeOrThrow();
            if (!acceptable(reply, ReplyUse::Verify))
                return notADump(LinkStage::VerifyFailed);
            m_host.progressBegin(FillColour::Green);
            failed = !verifyAgainst(bytes, reply.bytes);
            m_host.progressHide();
            finalResetOrThrow();
        } catch (const Interrupted &stop) {
            return interrupted(stop.reason);
        }
        return verifyEnded(failed);
    });
}

DeviceLink::Outcome DeviceLink::readToFile()
{
    if (!checkPort())
        return Outcome::NoPort;
    if (m_busy)
        return Outcome::Busy;
    BusyScope busy(*this);
    QString path;
    Status<> saved = Status<>::failure(QString());
    try {
        m_host.setStage(LinkStage::ReadStarted);
        const DumpReply reply = dumpExchangeOrThrow();
        if (!acceptable(reply, ReplyUse::Read))
            return notADump(LinkStage::ReadFailed);
        const auto chosen = m_host.askSaveFile();
        throwIfInterruptedMeanwhile();
        if (!chosen)
            return Outcome::Cancelled;
        path = *chosen;
        saved = writeFileSafely(path, reply.memory());
        resetOrThrow();
    } catch (const Interrupted &stop) {
        if (saved && (stop.reason == WaitEnd::PortLost || stop.reason == WaitEnd::NotReopened))
            return savedButPortLost(path, stop.reason);
        return interrupted(stop.reason);
    }
    if (!saved)
        return notSaved(LinkProblem::Kind::SaveFailed, path, saved.error());
    m_host.setStage(LinkStage::ReadFinished);
    return Outcome::Completed;
}

} // namespace tavlo
