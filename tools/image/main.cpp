// SPDX-License-Identifier: GPL-3.0-or-later
// tavlo-image: the configuration image from the command line, on the same
// code as the window.

#include "cli.h"
#include "commands.h"
#include "files.h"
#include "helptext.h"

#include <QCoreApplication>

using namespace tavlo;
using namespace tavlo::cli;

namespace {

int run(const QStringList &args)
{
    const Reading r = readCommandLine(args);
    if (r.help) {
        const QString text = r.invocation.command ? commandHelp(*r.invocation.command) : helpText();
        return writeOut(text.toUtf8()) ? Success : OutputFailed;
    }
    if (r.version)
        return writeOut(versionText().toUtf8()) ? Success : OutputFailed;
    if (!r.error.isEmpty())
        return usage(r.error, r.invocation.command ? r.invocation.command->name : nullptr);
    return r.invocation.command->run(r.invocation);
}

} // namespace

int main(int argc, char *argv[])
{
    files::prepareStandardStreams();
    try {
        QCoreApplication app(argc, argv);
        // File names as the system gave them, also those that are not UTF-8.
        return run(files::arguments(argc, argv));
    } catch (const std::bad_alloc &) {
        return fail(Refused, QStringLiteral("out of memory"));
    } catch (const std::exception &e) {
        return fail(Refused, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return fail(Refused, QStringLiteral("an unexpected failure"));
    }
}
