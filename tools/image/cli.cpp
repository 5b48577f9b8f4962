// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli.h"

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

int fail(int status, const QString &message)
{
    say(message);
    return status;
}

int usage(const QString &message)
{
    return fail(Usage, message + QStringLiteral(" (see tavlo-image --help)"));
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

QString inputPath(const QString &argument)
{
    return dashMeans(files::StandardInputName, argument);
}

QString outputPath(const QString &argument)
{
    return dashMeans(files::StandardOutputName, argument);
}

Arguments parseArguments(const QStringList &args, const Options &options)
{
    Arguments parsed;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (optionsEnded || !a.startsWith(u'-') || a == QLatin1String("-")) {
            parsed.positional << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype equals = a.indexOf(u'=');
        const QString name = equals > 0 ? a.left(equals) : a;
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            parsed.help = true;
        } else if (name == QLatin1String("--version")) {
            parsed.version = true;
        } else if ((parsed.flags.contains(name) || parsed.values.contains(name)) &&
                   parsed.error.isEmpty()) {
            parsed.error = QStringLiteral("%1 is given twice").arg(name);
        } else if (options.flags.contains(name) && equals < 0) {
            parsed.flags.insert(name);
        } else if (options.valued.contains(name)) {
            if (equals > 0) {
                parsed.values.insert(name, a.mid(equals + 1));
            } else if (i + 1 < args.size()) {
                parsed.values.insert(name, args[++i]);
            } else if (parsed.error.isEmpty()) {
                parsed.error = QStringLiteral("%1 needs a value").arg(name);
            }
        } else if (parsed.error.isEmpty()) {
            parsed.error = options.flags.contains(name)
                               ? QStringLiteral("%1 takes no value").arg(name)
                               : QStringLiteral("unknown option %1").arg(quoted(name));
        }
    }
    return parsed;
}

} // namespace tavlo::cli
