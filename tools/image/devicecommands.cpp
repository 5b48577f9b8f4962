// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicecommands.h"

#include "devicelink.h"
#include "displaytext.h"
#include "imagediff.h"
#include "imagefile.h"
#include "linkhost.h"
#include "serialport.h"
#include "stopsignals.h"
#include "ticker.h"
#include "tracingport.h"

#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif

namespace tavlo {

namespace {

using namespace cli;

// After opening the port the device gets as long to wake as a reset gives it.
constexpr int DefaultSettleMs = DeviceLink::ResetPause / DeviceLink::PauseStep * 10;

// Answers the device link from the command line: a progress bar when standard
// error is a terminal, the retry question from --retries.
class TerminalHost : public LinkHost {
public:
    TerminalHost(int retries, bool anyLength, QString saveTo)
        : m_retries(retries)
        , m_anyLength(anyLength)
        , m_saveTo(std::move(saveTo))
        , m_bar(isatty(STDERR_FILENO))
    {
    }

    void setStatus(const QString &) override {}
    void setStatusTone(StatusTone) override {}
    void progressBegin(FillColour colour) override
    {
        m_stage = colour == FillColour::Red ? "write " : "verify";
        progressFill(0, 1);
    }
    void progressEmpty(FillColour) override {}
    void progressFill(qint64 done, qint64 total) override
    {
        if (!m_bar || total <= 0)
            return;
        constexpr int Width = 40;
        const int filled = int(Width * done / total);
        std::fprintf(stderr, "\r%s [%s%s] %3d%%", m_stage, QByteArray(filled, '#').constData(),
                     QByteArray(Width - filled, '.').constData(), int(100 * done / total));
        std::fflush(stderr);
        m_drawn = true;
    }
    void progressMark() override {}
    void progressHide() override { endBar(); }
    bool confirmLength(const QString &path, qint64 size) override
    {
        if (!m_anyLength)
            say(QStringLiteral("%1 is %2 bytes, not a 127-byte configuration image; "
                               "--any-length writes it anyway")
                    .arg(path)
                    .arg(size));
        return m_anyLength;
    }
    bool askRetry() override
    {
        endBar();
        if (m_retries <= 0)
            return false;
        --m_retries;
        say(QStringLiteral("verify failed, writing again"));
        return true;
    }
    std::optional<QString> askSaveFile() override { return m_saveTo; }
    void report(const QString &, const QString &message) override
    {
        endBar();
        say(message);
    }

    void endBar()
    {
        if (m_drawn)
            std::fputc('\n', stderr);
        m_drawn = false;
    }

private:
    int m_retries = 0;
    bool m_anyLength = false;
    QString m_saveTo;
    bool m_bar = false;
    bool m_drawn = false;
    const char *m_stage = "write ";
};

struct DeviceArgs {
    QString port;
    QString file;
    int retries = 0;
    QString backup;
    int settleMs = DefaultSettleMs;
    bool trace = false;
    bool anyLength = false;
    QString error;
};

DeviceArgs parse(const cli::Arguments &arguments, const QStringList &files, DeviceAction action)
{
    const bool forWrite = action == DeviceAction::Write;
    DeviceArgs parsed;
    parsed.backup = arguments.values.value(QStringLiteral("--backup"));
    parsed.trace = arguments.flags.contains(QStringLiteral("--trace"));
    parsed.anyLength = arguments.flags.contains(QStringLiteral("--any-length"));
    parsed.port = arguments.values.value(QStringLiteral("--port"));
    auto number = [&](const char *name, int low, int high, int &field, const char *what) {
        const QString option = QString::fromLatin1(name);
        if (!arguments.values.contains(option))
            return;
        bool ok = false;
        field = arguments.values.value(option).toInt(&ok);
        if ((!ok || field < low || field > high) && parsed.error.isEmpty())
            parsed.error = QStringLiteral("%1 takes %2").arg(option, QLatin1String(what));
    };
    number("--retries", 0, 1000, parsed.retries, "a whole number from 0 to 1000");
    number("--settle", 0, 60000, parsed.settleMs, "milliseconds, 0 to 60000");
    if (!forWrite && (parsed.anyLength || arguments.values.contains(QStringLiteral("--retries")) ||
                      arguments.values.contains(QStringLiteral("--backup"))))
        parsed.error = QStringLiteral("--retries, --any-length and --backup are for write");
    if (forWrite && arguments.values.contains(QStringLiteral("--backup")) &&
        parsed.backup.isEmpty())
        parsed.error = QStringLiteral("--backup needs a file name");
    if (arguments.flags.contains(QStringLiteral("--json")))
        parsed.error = QStringLiteral("--json is for diff");
    if (!parsed.error.isEmpty())
        return parsed;
    if (files.size() > 1)
        parsed.error = QStringLiteral("one file only");
    else if (parsed.port.isEmpty())
        parsed.error = QStringLiteral("--port PORT is needed");
    else if (files.isEmpty())
        parsed.error = QStringLiteral("a file is needed");
    else
        parsed.file = files.first();
    return parsed;
}

int exitStatus(DeviceLink::Outcome outcome)
{
    using Outcome = DeviceLink::Outcome;
    switch (outcome) {
    case Outcome::Completed:
        return Success;
    case Outcome::VerifyFailed:
    case Outcome::Cancelled:
    case Outcome::FileError:
    case Outcome::SaveFailed:
        return Refused;
    case Outcome::NoPort:
    case Outcome::Busy:
    case Outcome::NoReply:
    case Outcome::PortLost:
    case Outcome::SavedResetFailed:
    case Outcome::Aborted:
    case Outcome::Stopped:
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

} // namespace

int deviceCommand(const cli::Arguments &arguments, const QStringList &files, DeviceAction action)
{
    const bool forWrite = action == DeviceAction::Write;
    DeviceArgs a = parse(arguments, files, action);
    if (!a.error.isEmpty())
        return usage(a.error);
    const QString shownFile = a.file;
    a.file = action == DeviceAction::Read ? outputPath(a.file) : inputPath(a.file);
    if (!a.backup.isEmpty() && isSameFile(a.backup, a.file))
        return fail(Refused, QStringLiteral("the backup %1 is the file to write: refusing to "
                                            "overwrite it")
                                 .arg(printable(a.backup)));
    QtSerialPort serial;
    TracingPort tracing(serial, stdout);
    SerialPort &port = a.trace ? static_cast<SerialPort &>(tracing) : serial;
    PreciseTicker ticker;
    TerminalHost host(a.retries, a.anyLength, a.file);
    DeviceLink link(port, ticker, host);
    // A signal ends the action in order: the device is reset, the port closed
    // (its lock goes with it), and no partial file is left.
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, &link, &DeviceLink::stop);
    auto stopped = [&](const QString &what) {
        const int signal = StopSignals::caught();
        host.endBar();
        link.closePort();
        say(QStringLiteral("stopped by %1: %2").arg(StopSignals::name(signal), what));
        return 128 + signal;
    };
    // The port is opened as choosing it in the window opens it: DTR, RTS, one ESC.
    if (!link.choosePort(a.port))
        return DeviceFailure;
    if (a.settleMs > 0 && !link.Pause(a.settleMs * DeviceLink::PauseStep / 10))
        return StopSignals::caught() ? stopped(QStringLiteral("nothing was sent to the device"))
                                     : DeviceFailure;
    DeviceLink::Outcome outcome = DeviceLink::Outcome::Completed;
    switch (action) {
    case DeviceAction::Write:
        outcome = link.writeAndVerify(a.file, outputPath(a.backup));
        break;
    case DeviceAction::Read:
        outcome = link.readToFile();
        break;
    case DeviceAction::Verify:
        outcome = link.verifyOnly(a.file);
        break;
    }
    host.endBar();
    if (StopSignals::caught()) {
        QString what;
        switch (outcome) {
        case DeviceLink::Outcome::Stopped:
            what = forWrite ? QStringLiteral("the write was broken off and the device reset")
                            : QStringLiteral("the device was reset and nothing was saved");
            break;
        case DeviceLink::Outcome::Completed:
            what = action == DeviceAction::Read
                       ? QStringLiteral("after %1 was saved").arg(printable(shownFile))
                       : QStringLiteral("after the device was verified");
            break;
        default:
            what = QStringLiteral("the action had ended already");
            break;
        }
        return stopped(what);
    }
    link.closePort();
    if (outcome == DeviceLink::Outcome::VerifyFailed) {
        const Result<QByteArray> file = readFile(a.file);
        sayWhatDiffers(shownFile, file ? *file : QByteArray(), link.lastMemory(),
                       link.mismatches());
    }
    return exitStatus(outcome);
}

} // namespace tavlo
