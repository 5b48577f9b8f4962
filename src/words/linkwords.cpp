// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkwords.h"

#include "displaytext.h"
#include "serialports.h"

#include <QCoreApplication>

namespace tavlo::words {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("LinkWords", text);
}

QString whatTheDeviceHolds(const LinkProblem &p)
{
    switch (p.written) {
    case Written::Nothing:
        return tr(" Nothing of the image was written.");
    case Written::Part:
        return tr(" Only %1 of the %2 bytes of the image were written, so the device now holds "
                  "part of the old and part of the new configuration: write it again.")
            .arg(p.bytesWritten)
            .arg(p.imageSize);
    case Written::All:
        break;
    }
    return tr(" The whole image was written but not verified: verify it, or write it again.");
}

// A reply that did not come after a write: the bytes went out all the same,
// and nobody knows how many of them the device took.
QString notVerified(const LinkProblem &p)
{
    if (!p.duringWrite || p.written == Written::Nothing)
        return QString();
    return tr(" The image was sent (%1 of its %2 bytes) but is not verified: the device may hold "
              "all, part or none of it. Write it again.")
        .arg(p.bytesWritten)
        .arg(p.imageSize);
}

// What came instead of the memory, and what that left undone.
QString notADump(const LinkProblem &p)
{
    QString what;
    switch (p.use) {
    case ReplyUse::Read:
        what = tr("Nothing was saved.");
        break;
    case ReplyUse::Backup:
        what = tr("Nothing was saved or written.");
        break;
    case ReplyUse::Verify:
        // After a write the whole image went out before the odd reply came.
        what = p.duringWrite ? tr("The image was sent (%1 of its %2 bytes) but could not be "
                                  "verified: the device may hold all, part or none of it.")
                                   .arg(p.bytesWritten)
                                   .arg(p.imageSize)
                             : tr("Nothing was written.");
        break;
    }
    return tr("The device on %1 answered with %2 (count byte %3), not with the count 127 and 127 "
              "memory bytes: %4. %5")
        .arg(printable(p.port), countOf(p.reply.received(), "byte", "bytes"))
        .arg(p.reply.count)
        .arg(whatAnswered(p.reply), what);
}

QString wentAway()
{
    return tr("it was unplugged, or the device on it was switched off.");
}

// The port was closed for the device reset and would not open again: taken
// by another program, or gone.
QString notReopened(const LinkProblem &p)
{
    const QString port = printable(p.port);
    if (p.openFailure == OpenFailure::Busy || p.openFailure == OpenFailure::LockInDoubt)
        return tr("The device was reset, but another program took %1 meanwhile, so it is no "
                  "longer open here: %2. Choose the port again once it is free.")
            .arg(port, p.reason);
    return tr("The device was reset, but %1 could not be opened again: %2.").arg(port, p.reason) +
           (p.openFailure == OpenFailure::NotFound ? QLatin1Char(' ') + tr("Perhaps ") + wentAway()
                                                   : QString());
}

} // namespace

QString stageText(LinkStage stage)
{
    switch (stage) {
    case LinkStage::ReadStarted:
        return tr("Read Started");
    case LinkStage::ReadFinished:
        return tr("Read Finished");
    case LinkStage::ReadFailed:
        return tr("Read Failed");
    case LinkStage::WriteStarted:
        return tr("Write Started");
    case LinkStage::WriteFinished:
        return tr("Write Finished");
    case LinkStage::VerifyStarted:
        return tr("Verify Started");
    case LinkStage::VerifyCompleted:
        return tr("Verify Completed");
    case LinkStage::VerifyFailed:
        return tr("Verify Failed!!!");
    case LinkStage::NoReply:
        return tr("No reply");
    case LinkStage::ReplyCutShort:
        return tr("Reply cut short");
    case LinkStage::PortLost:
        return tr("Port lost");
    case LinkStage::Stopped:
        break;
    }
    return tr("Stopped");
}

QString byteStatus(unsigned char byte)
{
    const QString shown = byte >= 33 && byte <= 127 ? QString(QChar(byte)) : QStringLiteral(".");
    return shown + QStringLiteral(" (") + QString::number(byte, 16).toUpper() + u')';
}

QString checkTheCable(const QString &port)
{
    return tr("\n\nCheck the cable, that the device has power, and that %1 is the port it is "
              "connected to.")
        .arg(printable(port));
}

QString whatAnswered(const DumpReply &reply)
{
    if (reply.isNmea())
        return tr("this port leads to a GPS receiver, not to the tracker");
    if (!reply.isExact())
        return tr("stray bytes, another device, or not a tracker at all");
    return tr("another device, or a tracker with another memory size");
}

QString portOpen(const QString &port)
{
    return tr("Port %1 open").arg(printable(port));
}

// The first paragraph of the problem's message says why; the rest is advice.
QString noPortOpen(const LinkProblem *why)
{
    const QString none = tr("No port open");
    return why ? none + QStringLiteral(": ") +
                     describe(*why).message.section(QStringLiteral("\n\n"), 0, 0)
               : none;
}

namespace {

QString noReply(const LinkProblem &p)
{
    const QString port = printable(p.port);
    if (p.kind == LinkProblem::Kind::NoReply)
        return tr("No reply from the device on %1.").arg(port) + notVerified(p) +
               checkTheCable(p.port);
    return tr("The device on %1 stopped answering: %2 of the %3 bytes of its reply arrived.")
               .arg(port)
               .arg(p.received)
               .arg(p.expected) +
           notVerified(p) + checkTheCable(p.port);
}

QString portLost(const LinkProblem &p)
{
    if (p.kind == LinkProblem::Kind::ReopenFailed)
        return notReopened(p);
    if (p.kind == LinkProblem::Kind::PortLost)
        return tr("The port %1 went away: ").arg(printable(p.port)) + wentAway() +
               (p.duringWrite ? whatTheDeviceHolds(p) : QString());
    if (p.openFailure != OpenFailure::None)
        return tr("%1 was saved. ").arg(printable(p.path)) + notReopened(p);
    return tr("%1 was saved, but the port %2 went away before the device could be reset: ")
               .arg(printable(p.path), printable(p.port)) +
           wentAway();
}

} // namespace

Report describe(const LinkProblem &p)
{
    const QString port = printable(p.port);
    switch (p.kind) {
    case LinkProblem::Kind::NoPort:
        return {tr("No COM port selected"), tr("Please select COM port!")};
    case LinkProblem::Kind::OpenFailed: {
        QString message = tr("Could not open %1: %2.").arg(port, p.reason);
        if (const QString advice = openFailureAdvice(p.openFailure); !advice.isEmpty())
            message += QStringLiteral("\n\n") + advice;
        return {tr("Port"), message};
    }
    case LinkProblem::Kind::NoReply:
    case LinkProblem::Kind::ReplyCutShort:
        return {tr("No reply"), noReply(p)};
    case LinkProblem::Kind::PortLost:
    case LinkProblem::Kind::SavedButPortLost:
    case LinkProblem::Kind::ReopenFailed:
        return {tr("Port lost"), portLost(p)};
    case LinkProblem::Kind::BackupNotSaved:
        return {tr("Write File to EEProm"),
                tr("Could not save the backup %1: %2; nothing was written")
                    .arg(printable(p.path), p.reason)};
    case LinkProblem::Kind::NotADump:
        return {tr("Not a memory dump"), notADump(p)};
    case LinkProblem::Kind::UnstableReplies:
        return {tr("Write File to EEProm"),
                tr("The device on %1 answered twice with different memory, so its answers are not "
                   "stable and no backup was kept; nothing was written.")
                        .arg(port) +
                    checkTheCable(p.port)};
    case LinkProblem::Kind::EmptyImage:
        return {tr("Write File to EEProm"),
                tr("The file is empty: there is no image to write or verify.")};
    case LinkProblem::Kind::SaveFailed:
        break;
    }
    return {tr("Read & Save"), tr("Could not save %1: %2").arg(printable(p.path), p.reason)};
}

} // namespace tavlo::words
