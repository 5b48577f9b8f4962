// SPDX-License-Identifier: GPL-3.0-or-later
#include "filedialog.h"
#include "files.h"
#include "form1.h"
#include "licence.h"
#include "messages.h"
#include "pictures.h"
#include "serialport.h"
#include "stopsignals.h"
#include "ticker.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <exception>

namespace {

void describe(QCommandLineParser &parser)
{
    QCoreApplication::setApplicationName(QStringLiteral("tavlo"));
    // QCommandLineParser prints the name and this after it.
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVLO_VERSION "\n" TAVLO_LICENCE));
    parser.setApplicationDescription(QStringLiteral(
        "Edits the configuration of an APRS tracker device, keeps it in 127-byte image files, "
        "and writes it into the device or reads it back over a serial port."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("An image file to open at start-up, as Open "
                                                "would open it."),
                                 QStringLiteral("[file]"));
}

// --help and --version answer without a window, so they work without a display too.
bool onlyAsksForText(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--")
            return false;
        if (a == "--help" || a == "-h" || a == "-?" || a == "--help-all" || a == "--version" ||
            a == "-v")
            return true;
    }
    return false;
}

int run(int argc, char *argv[])
{
    QCommandLineParser parser;
    if (onlyAsksForText(argc, argv)) {
        QCoreApplication app(argc, argv);
        describe(parser);
        parser.process(app); // prints and exits
        return 0;
    }
    // Qt aborts without a display, with advice about reinstalling; say what is wrong instead.
    if (tavlo::files::noDisplay()) {
        std::fputs("tavlo: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY "
                   "is set).\nStart it from a desktop session, or over ssh with \"ssh -X\"; "
                   "tavlo-image works without a display.\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setDesktopFileName(QStringLiteral("org.tavlo.Tavlo"));
    QApplication::setWindowIcon(tavlo::applicationIcon());
    describe(parser);
    parser.process(app);

    tavlo::QtFileDialog dialog;
    tavlo::QtMessages messages;
    tavlo::QtSerialPort port;
    tavlo::PreciseTicker ticker;
    tavlo::Form1 window({dialog, messages, port, ticker, &tavlo::QtSerialPort::availablePorts},
                        tavlo::Form1::Appearance::AtOnce);
    // SIGINT, SIGTERM and SIGHUP close the window as its close button does:
    // a running transfer ends and the port is closed.
    tavlo::StopSignals stopSignals;
    QObject::connect(&stopSignals, &tavlo::StopSignals::received, &window, &QWidget::close);
    window.show();
    // Typing goes to the new window also where no window manager hands it the
    // focus (a bare X server); a window manager is asked as usual.
    window.activateWindow();
    if (!parser.positionalArguments().isEmpty()) {
        const QString path = parser.positionalArguments().first();
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
