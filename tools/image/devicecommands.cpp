// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicecommands.h"

#include "devicelink.h"
#include "devicerun.h"
#include "displaytext.h"
#include "files.h"
#include "image.h"
#include "imagediff.h"
#include "imagefile.h"
#include "imageinput.h"
#include "linkwords.h"
#include "preciseticker.h"
#include "protocol.h"
#include "serialports.h"
#include "stopsignals.h"
#include "tracingport.h"

#include <QElapsedTimer>
#include <optional>

namespace tavlo {

using namespace cli;

namespace {

// After opening the port the device gets as long to wake as a reset gives it.
constexpr int DefaultSettleMs =
    std::chrono::duration_cast<std::chrono::milliseconds>(protocol::ResetHold).count();

// The progress bar on standard error when it is a terminal.
class TerminalBar {
public:
    TerminalBar()
        : m_bar(files::isTerminal(files::StandardError))
    {
    }

    void show(const char *stage, qint64 done, qint64 total)
    {
        if (!m_bar || total <= 0)
            return end();
        constexpr int Width = 40;
        const int filled = int(Width * done / total);
        writeError(
            QStringLiteral("\r%1 [%2%3] %4%")
                .arg(QLatin1String(stage), QString(filled, u'#'), QString(Width - filled, u'.'))
                .arg(int(100 * done / total), 3)
                .toUtf8());
        m_drawn = true;
    }

    void end()
    {
        if (m_drawn)
            writeError("\n");
        m_drawn = false;
    }

private:
    bool m_bar = false;
    bool m_drawn = false;
};

struct DeviceArgs {
    QString port;
    QString file;
    int retries = 0;
    QString backup;
    int settleMs = DefaultSettleMs;
    bool trace = false;
    bool anyLength = false;
    bool quiet = false;
    QString error;
};

DeviceArgs parse(const Invocation &i)
{
    DeviceArgs parsed;
    parsed.port = i.value("--port");
    parsed.file = i.arguments.value(0);
    parsed.retries = i.number("--retries", 0);
    parsed.settleMs = i.number("--settle", DefaultSettleMs);
    parsed.backup = i.value("--backup");
    parsed.trace = i.has("--trace");
    parsed.anyLength = i.has("--any-length");
    parsed.quiet = i.has("--quiet");
    if (parsed.port.isEmpty())
        parsed.error = QStringLiteral("--port PORT is needed");
    else if (i.given("--backup") && parsed.backup.isEmpty())
        parsed.error = QStringLiteral("--backup needs a file name");
    return parsed;
}

int exitStatus(const LinkResult &result)
{
    using End = LinkResult::End;
    switch (result.end) {
    case End::Completed:
        return Success;
    case End::VerifyFailed:
    case End::Cancelled:
        return Refused;
    case End::Failed:
        // What could not be saved is refused like a file that cannot be written.
        if (result.problem && (result.problem->kind == LinkProblem::Kind::SaveFailed ||
                               result.problem->kind == LinkProblem::Kind::BackupNotSaved))
            return Refused;
        break;
    case End::Stopped:
    case End::Aborted:
        break;
    }
    return DeviceFailure;
}

// What differs between FILE and the device's memory, the way diff shows it.
void sayWhatDiffers(const QString &shownFile, const QByteArray &file, const QByteArray &memory,
                    const QList<qint64> &mismatches)
{
    if (const Result<ImageDiff> diff = diffImages(file, memory); diff) {
        say(QStringLiteral("the device differs from %1:").arg(printable(shownFile)));
        writeOut((diffLines(*diff).join(u'\n') + u'\n').toUtf8());
        return;
    }
    QStringList offsets;
    for (qint64 offset : mismatches.mid(0, 8))
        offsets << QString::number(offset);
    if (mismatches.size() > 8)
        offsets << QStringLiteral("...");
    say(QStringLiteral("the device differs from %1 at offset %2")
            .arg(printable(shownFile), offsets.join(QStringLiteral(", "))));
}

// What the device holds after a write that did not end in order.
QString whatTheDeviceHolds(const DeviceRun &link, const QString &backup)
{
    switch (link.written()) {
    case Written::Nothing:
        return QStringLiteral("nothing was written");
    case Written::Part: {
        QString text = QStringLiteral("only %1 of the %2 bytes were written, so the device now "
                                      "holds part old, part new: write again")
                           .arg(link.bytesWritten())
                           .arg(link.imageSize());
        if (!backup.isEmpty())
            text += QStringLiteral("; what it held before is in %1").arg(printable(backup));
        return text;
    }
    case Written::All:
        break;
    }
    return QStringLiteral("everything was written but not verified");
}

// The words after "stopped by SIGTERM: ".
QString stoppedWhat(const DeviceRun &link, const LinkResult &result, DeviceAction action,
                    const QString &shownFile, const QString &backup)
{
    using End = LinkResult::End;
    const bool resetDone = result.end == End::Stopped;
    const bool verdict = result.end == End::Completed || result.end == End::VerifyFailed;
    switch (action) {
    case DeviceAction::Write:
        if (verdict)
            return QStringLiteral("after the device was verified");
        return whatTheDeviceHolds(link, backup) +
               (resetDone ? QStringLiteral("; the device was reset") : QString());
    case DeviceAction::Read:
        if (result.end == End::Completed)
            return QStringLiteral("after %1 was saved").arg(printable(shownFile));
        return resetDone ? QStringLiteral("nothing was saved; the device was reset")
                         : QStringLiteral("nothing was saved");
    case DeviceAction::Verify:
        break;
    }
    if (verdict)
        return QStringLiteral("after the device was verified");
    return resetDone ? QStringLiteral("nothing was written; the device was reset")
                     : QStringLiteral("nothing was written");
}

// The problem an action ended with, as the window says it; a reply of
// another memory size may be taken all the same.
void sayProblem(const LinkProblem &problem)
{
    QString message = words::describe(problem).message;
    if (problem.kind == LinkProblem::Kind::NotADump && problem.reply.isExact())
        message += QStringLiteral(" --any-length takes another memory size.");
    say(message);
}

// Everything that can be refused is refused before the port is opened.
struct Prepared {
    QByteArray image; // for write and verify: the bytes, read once
    int status = Success;
};

// A file name that leads to the port itself: what is read would go back
// into the device, where bytes such as ESC "D" change its memory.
QString portAmongFiles(const DeviceArgs &a, DeviceAction action)
{
    const QString file = action == DeviceAction::Read ? outputPath(a.file) : inputPath(a.file);
    for (const QString &name : {file, a.backup.isEmpty() ? QString() : outputPath(a.backup)})
        if (isSameFile(name, a.port))
            return QStringLiteral("%1 leads to the port %2, not to a file")
                .arg(printable(name == file ? a.file : a.backup), printable(a.port));
    return QString();
}

Prepared refused(int status, const QString &message)
{
    Prepared p;
    p.status = fail(status, message);
    return p;
}

// Where what is read goes: written whole at the end, so it must be writable now.
Prepared prepareRead(const DeviceArgs &a)
{
    if (const QString problem = terminalProblem(QString(), a.file); !problem.isEmpty())
        return refused(Usage, problem);
    if (files::leadsToStandardOutput(outputPath(a.file)) && files::wasClosed(files::StandardOutput))
        return refused(OutputFailed, QStringLiteral("standard output is closed: nothing was read"));
    if (const Status<> writable = checkWritable(outputPath(a.file)); !writable)
        return refused(
            Refused,
            QStringLiteral("Could not save %1: %2").arg(printable(a.file), writable.error()));
    return Prepared{};
}

QString backupProblem(const DeviceArgs &a)
{
    if (a.backup.isEmpty())
        return QString();
    if (isSameFile(outputPath(a.backup), inputPath(a.file)))
        return QStringLiteral("the backup %1 is the file to write: refusing to overwrite it")
            .arg(printable(a.backup));
    if (const Status<> writable = checkWritable(outputPath(a.backup)); !writable)
        return QStringLiteral("Could not save the backup %1: %2")
            .arg(printable(a.backup), writable.error());
    return QString();
}

// The image to write or verify, read once.
Prepared prepareImage(const DeviceArgs &a, DeviceAction action)
{
    const Result<QByteArray, InputProblem> image = readImageInput(a.file, LargestDeviceFile);
    if (!image)
        return refused(image.error().isUsage() ? Usage : Refused, image.error().message);
    if (image->isEmpty())
        return refused(Refused, QStringLiteral("%1 is empty: there is no image to %2")
                                    .arg(printable(a.file), action == DeviceAction::Write
                                                                ? QStringLiteral("write")
                                                                : QStringLiteral("verify")));
    if (image->size() != ImageSize && !a.anyLength)
        return refused(Refused,
                       QStringLiteral("%1 is %2, not a 127-byte configuration image; "
                                      "--any-length writes it anyway")
                           .arg(printable(a.file), countOf(image->size(), "byte", "bytes")));
    if (const QString problem = backupProblem(a); !problem.isEmpty())
        return refused(Refused, problem);
    Prepared p;
    p.image = *image;
    return p;
}

Prepared prepare(const DeviceArgs &a, DeviceAction action)
{
    return action == DeviceAction::Read ? prepareRead(a) : prepareImage(a, action);
}

} // namespace

namespace {

// Ends a run that a signal or a closed output stopped: one line, 128 + N.
int stopped(TerminalBar &bar, DeviceRun &run, const QString &what)
{
    const int signal = StopSignals::caught();
    bar.end();
    run.releaseAndWait();
    say(QStringLiteral("stopped by %1: %2").arg(StopSignals::name(signal), what));
    return 128 + signal;
}

RunPlan planOf(DeviceAction action, const DeviceArgs &a, const Prepared &prepared)
{
    RunPlan plan;
    plan.action = action;
    plan.port = a.port;
    plan.image = prepared.image;
    plan.backup = outputPath(a.backup);
    plan.saveTo = outputPath(a.file);
    plan.retries = a.retries;
    plan.anyLength = a.anyLength;
    plan.settleMs = a.settleMs;
    return plan;
}

// What is said once the action ended, and the exit status.
int ended(const DeviceRun &run, const LinkResult &result, const DeviceArgs &a,
          const Prepared &prepared)
{
    if (run.outputFailed())
        return OutputFailed;
    // A port that would not open was said when it was tried.
    if (result.problem && !result.failedWith(LinkProblem::Kind::OpenFailed))
        sayProblem(*result.problem);
    if (result.end == LinkResult::End::VerifyFailed) {
        sayWhatDiffers(a.file, prepared.image, run.reply().memory(), run.mismatches());
        // A link that garbles every answer garbled the backup's two reads alike.
        if (run.backupSaved())
            say(QStringLiteral("the backup %1 was read over this same link: it may differ from "
                               "what the device held in the same bytes")
                    .arg(printable(a.backup)));
        if (run.failures() > 1)
            say(QStringLiteral("the verify failed %1 times in a row.").arg(run.failures()) +
                words::checkTheCable(a.port));
    }
    return exitStatus(result);
}

// The one line that says all went well: "OK1ABC written to /dev/ttyUSB0 and
// verified (2.9 s)".
QString succeeded(DeviceAction action, const DeviceArgs &a, const QByteArray &image, qint64 ms)
{
    const QString seconds = QStringLiteral("(%1 s)").arg(double(ms) / 1000, 0, 'f', 1);
    const QString port = printable(a.port);
    QString what = printable(a.file);
    if (const Result<Configuration> config = decodeImage(image);
        config && !config->callsign.trimmed().isEmpty())
        what = printable(config->callsign.trimmed());
    switch (action) {
    case DeviceAction::Write:
        return QStringLiteral("%1 written to %2 and verified %3").arg(what, port, seconds);
    case DeviceAction::Verify:
        return QStringLiteral("%1 holds %2 %3").arg(port, printable(a.file), seconds);
    case DeviceAction::Read:
        break;
    }
    return QStringLiteral("%1 read from %2 %3").arg(printable(a.file), port, seconds);
}

// Opens the port, lets the device wake and runs the action: the part that
// touches the device, after everything was checked.
int talkToDevice(SerialPort &port, DeviceAction action, const DeviceArgs &a,
                 const Prepared &prepared)
{
    PreciseTicker ticker;
    DeviceLink session(port, ticker);
    DeviceRun run(session, planOf(action, a, prepared));
    TerminalBar bar;
    QObject::connect(&run, &DeviceRun::progress, &run,
                     [&bar](LinkPhase phase, qint64 done, qint64 total) {
                         bar.show(phase == LinkPhase::Writing   ? "write "
                                  : phase == LinkPhase::Reading ? "read  "
                                                                : "verify",
                                  done, total);
                     });
    QElapsedTimer took;
    took.start();
    QObject::connect(&run, &DeviceRun::report, &run, [&bar](const LinkProblem &problem) {
        bar.end();
        say(words::describe(problem).message);
    });
    QObject::connect(&run, &DeviceRun::retrying, &run, [&bar] {
        bar.end();
        say(QStringLiteral("verify failed, writing again"));
    });
    // A signal, or an output closed under us, ends the action in order: the
    // device is reset, the port closed (its lock goes with it), and no
    // partial file is left.
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, &run, &DeviceRun::stop);
    const LinkResult result = run.run();
    bar.end();
    if (result.failedWith(LinkProblem::Kind::OpenFailed))
        return DeviceFailure;
    if (run.settleStopped())
        return stopped(bar, run, QStringLiteral("nothing was sent to the device"));
    if (StopSignals::caught())
        return stopped(bar, run, stoppedWhat(run, result, action, a.file, a.backup));
    run.releaseAndWait();
    const int status = ended(run, result, a, prepared);
    if (status == Success && !a.quiet)
        say(succeeded(action, a, prepared.image, took.elapsed()));
    return status;
}

} // namespace

namespace {

int deviceCommand(const Invocation &invocation, DeviceAction action)
{
    const DeviceArgs a = parse(invocation);
    if (!a.error.isEmpty())
        return usage(a.error, invocation.command->name);
    if (const QString problem = portAmongFiles(a, action); !problem.isEmpty())
        return fail(Usage, problem);
    const Prepared prepared = prepare(a, action);
    if (prepared.status != Success)
        return prepared.status;
    if (action == DeviceAction::Write && !a.quiet)
        warnAbout(prepared.image);
    SystemSerialPort serial;
    // Traces go with the other diagnostics: standard output carries only data.
    std::optional<TracingPort> tracing;
    if (a.trace)
        tracing.emplace(serial, [](const QByteArray &line) { writeError(line); });
    return talkToDevice(tracing ? static_cast<SerialPort &>(*tracing) : serial, action, a,
                        prepared);
}

} // namespace

int writeCommand(const Invocation &invocation)
{
    return deviceCommand(invocation, DeviceAction::Write);
}

int readCommand(const Invocation &invocation)
{
    return deviceCommand(invocation, DeviceAction::Read);
}

int verifyCommand(const Invocation &invocation)
{
    return deviceCommand(invocation, DeviceAction::Verify);
}

} // namespace tavlo
