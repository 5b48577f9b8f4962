// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"
#include "filedialog.h"
#include "files.h"
#include "licence.h"
#include "mainwindow.h"
#include "messages.h"
#include "pictures.h"
#include "preciseticker.h"
#include "serialports.h"
#include "stopsignals.h"
#include "twips.h"
#include "warmup.h"
#include "windowsystem.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <optional>

namespace {

const char HelpText[] = R"(Usage: tavlo [OPTIONS] [FILE]

Edits the configuration of an APRS tracker device, keeps it in 127-byte image
files, and writes it into the device or reads it back over a serial port.

Arguments:
  FILE                 An image file to open at start-up, as Open would open
                       it.

Options:
  -h, --help           Print this help.
  -v, --version        Print the version.
)";

// The program's own words before any window: help, version and wrong usage
// answer without a display. The status to end with, or nothing to go on.
std::optional<int> answerWithoutWindow(const tavlo::commandline::Arguments &parsed)
{
    if (parsed.help || parsed.version) {
        std::fputs(parsed.help ? HelpText : "tavlo " TAVLO_VERSION "\n" TAVLO_LICENCE "\n", stdout);
        return 0;
    }
    if (parsed.error.isEmpty() && parsed.positional.size() <= 1)
        return std::nullopt;
    std::fprintf(
        stderr, "tavlo: %s (see tavlo --help)\n",
        qPrintable(parsed.error.isEmpty() ? QStringLiteral("one file at most") : parsed.error));
    return 2;
}

// What the program answers before it needs a display: --help, --version,
// wrong usage, and no display at all.
std::optional<int> answerBeforeTheDisplay(int argc, char *argv[])
{
    // Qt's own options (-platform, -style ...) are QApplication's, which takes
    // them out of what it hands on; ours are read once before it, for the
    // answers that need no display, and once after it, for the file.
    QStringList ours;
    for (const QString &argument : tavlo::files::arguments(argc, argv))
        if (argument.startsWith(QLatin1String("--")) || argument == QLatin1String("-h") ||
            argument == QLatin1String("-v"))
            ours << argument;
    if (const std::optional<int> status = answerWithoutWindow(tavlo::commandline::parse(ours, {})))
        return status;
    // Qt aborts without a display, with advice about reinstalling; say what is wrong instead.
    if (tavlo::files::noDisplay()) {
        std::fputs("tavlo: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY "
                   "is set).\nStart it from a desktop session, or over ssh with \"ssh -X\"; "
                   "tavlo-image works without a display.\n",
                   stderr);
        return 1;
    }
    return std::nullopt;
}

int run(int argc, char *argv[])
{
    if (const std::optional<int> status = answerBeforeTheDisplay(argc, argv))
        return *status;
    // The font configuration is read meanwhile; Qt's first text waits for it
    // where it is not done yet.
    tavlo::WarmUp fonts;
    tavlo::prepareWindowSystem();
    QApplication app(argc, argv);
    QApplication::setDesktopFileName(QStringLiteral("org.tavlo.Tavlo"));
    QApplication::setWindowIcon(tavlo::applicationIcon());
    const tavlo::commandline::Arguments parsed =
        tavlo::commandline::parse(QCoreApplication::arguments().mid(1), {});
    if (const std::optional<int> status = answerWithoutWindow(parsed))
        return *status;

    // Fonts are sized at the screen's logical resolution, and so is the layout.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        tavlo::setLayoutDotsPerInch(qRound(screen->logicalDotsPerInchY()));
    tavlo::QtFileDialog dialog;
    tavlo::QtMessages messages;
    tavlo::SystemSerialPort port;
    tavlo::PreciseTicker ticker;
    tavlo::MainWindow window({dialog, messages, port, ticker, &tavlo::availablePorts},
                             tavlo::MainWindow::Appearance::AtOnce);
    // SIGINT, SIGTERM and SIGHUP close the window as its close button does:
    // a running transfer ends and the port is closed. Nobody may be there to
    // answer a question about unsaved edits, so none is asked.
    tavlo::StopSignals stopSignals;
    QObject::connect(&stopSignals, &tavlo::StopSignals::received, &window,
                     &tavlo::MainWindow::closeUnasked);
    window.show();
    // Typing goes to the new window also where no window manager hands it the
    // focus (a bare X server); a window manager is asked as usual.
    window.activateWindow();
    if (!parsed.positional.isEmpty()) {
        const QString path = parsed.positional.first();
        QTimer::singleShot(0, &window, [&window, path] { window.openFile(path); });
    }
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // Whatever escapes ends the program with a line that says so, not an abort.
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc &) {
        std::fputs("tavlo: out of memory\n", stderr);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tavlo: %s\n", e.what());
    } catch (...) {
        std::fputs("tavlo: an unexpected failure\n", stderr);
    }
    return 1;
}
