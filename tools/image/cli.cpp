// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli.h"

#include "advice.h"
#include "image.h"

#include "displaytext.h"
#include "files.h"
#include "stopsignals.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tavlo::cli {

namespace {

// A write to a pipe nobody reads any more: stop as Ctrl-C would.
void stopIfClosed()
{
    if (errno == EPIPE)
        StopSignals::requestStop(StopSignals::BrokenPipe);
}

} // namespace

void writeError(const QByteArray &bytes)
{
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr) == size_t(bytes.size());
    if (!written || std::fflush(stderr) != 0)
        stopIfClosed();
}

void say(const QString &message)
{
    QString line = message;
    line.replace(QStringLiteral("\n\n"), QStringLiteral(" ")).replace(u'\n', u' ');
    writeError("tavlo-image: " + printable(line, -1).toUtf8() + '\n');
}

void warnAbout(const QByteArray &image)
{
    const Result<Configuration> config = decodeImage(image);
    if (!config)
        return; // not an image: there is nothing to advise on
    for (const Finding &finding : adviseOn(*config))
        say(QStringLiteral("%1: %2").arg(severityName(finding.severity), finding.message));
}

int fail(int status, const QString &message)
{
    say(message);
    return status;
}

int usage(const QString &message, const char *command)
{
    const QString help = command ? QStringLiteral("tavlo-image help ") + QLatin1String(command)
                                 : QStringLiteral("tavlo-image --help");
    return fail(Usage, message + QStringLiteral(" (see %1)").arg(help));
}

bool writeOut(const QByteArray &bytes)
{
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    if (written && std::fflush(stdout) == 0)
        return true;
    const int error = errno;
    stopIfClosed();
    errno = error;
    say(QStringLiteral("could not write the output: %1")
            .arg(QString::fromLocal8Bit(std::strerror(errno))));
    return false;
}

namespace {

QString dashMeans(const QString &stream, const QString &argument)
{
    return argument == QLatin1String("-") ? stream : argument;
}

} // namespace

QString terminalProblem(const QString &input, const QString &binaryOutput)
{
    const QLatin1String dash("-");
    if (input == dash && files::isTerminal(files::StandardInput))
        return QStringLiteral("standard input is a terminal: pipe the input in (< FILE), or "
                              "name a file instead of -");
    if (binaryOutput == dash && files::isTerminal(files::StandardOutput))
        return QStringLiteral("standard output is a terminal, and an image is not text: "
                              "redirect it (> FILE), or name a file instead of -");
    return QString();
}

QString wrapped(const QString &text, int indent, int width)
{
    const QString margin(indent, u' ');
    QStringList lines;
    QString line = margin;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (line.size() > indent && line.size() + 1 + word.size() > width) {
            lines << line;
            line = margin;
        }
        if (line.size() > indent)
            line += u' ';
        line += word;
    }
    lines << line;
    return lines.join(u'\n');
}

QString inputPath(const QString &argument)
{
    return dashMeans(files::StandardInputName, argument);
}

QString outputPath(const QString &argument)
{
    return dashMeans(files::StandardOutputName, argument);
}

} // namespace tavlo::cli
