// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up time of the window against a bare Qt window of the same size, and
// against that window with one line of text (a font to load):
// from starting the process to its window's first expose, in alternating
// runs of this same program in a child mode. Not a test: run it by hand
// under a display, e.g.
//     xvfb-run -a build/tests/bench/bench_startup [runs]

#include "filedialog.h"
#include "form1.h"
#include "messages.h"
#include "serialport.h"
#include "ticker.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdio>

using namespace tavlo;

namespace {

// Says "shown" and quits once the window is on the screen.
class ShownWatcher : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            std::puts("shown");
            std::fflush(stdout);
            QCoreApplication::quit();
        }
        return false;
    }
};

enum class Mode { Bare, Text, Window };

int child(int argc, char *argv[], Mode mode)
{
    QApplication app(argc, argv);
    QtFileDialog dialog;
    QtMessages messages;
    QtSerialPort port;
    PreciseTicker ticker;
    std::unique_ptr<QWidget> window;
    if (mode != Mode::Window) {
        window = std::make_unique<QWidget>();
        window->setFixedSize(358, 381);
        // The least a window with any text pays: loading a font.
        if (mode == Mode::Text)
            new QLineEdit(QStringLiteral("Text"), window.get());
    } else {
        window = std::make_unique<Form1>(
            Platform{dialog, messages, port, ticker, &QtSerialPort::availablePorts});
    }
    ShownWatcher watcher;
    window->winId(); // the native window exists, so its expose can be watched
    window->windowHandle()->installEventFilter(&watcher);
    window->show();
    return app.exec();
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

double timeOne(const QString &mode)
{
    QElapsedTimer clock;
    QProcess process;
    clock.start();
    process.start(QCoreApplication::applicationFilePath(), {mode});
    process.waitForReadyRead(30000);
    const double ms = clock.nsecsElapsed() / 1e6;
    process.waitForFinished(30000);
    return process.readAllStandardOutput().startsWith("shown") ? ms : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--bare") == 0)
        return child(argc, argv, Mode::Bare);
    if (argc > 1 && qstrcmp(argv[1], "--text") == 0)
        return child(argc, argv, Mode::Text);
    if (argc > 1 && qstrcmp(argv[1], "--window") == 0)
        return child(argc, argv, Mode::Window);
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 11;
    QList<double> bare;
    QList<double> text;
    QList<double> window;
    timeOne(QStringLiteral("--window")); // libraries and fonts into the cache
    for (int run = 0; run < runs; ++run) {
        bare << timeOne(QStringLiteral("--bare"));
        text << timeOne(QStringLiteral("--text"));
        window << timeOne(QStringLiteral("--window"));
    }
    if (bare.contains(-1) || text.contains(-1) || window.contains(-1)) {
        std::fprintf(stderr, "a window was not shown: is there a display?\n");
        return 1;
    }
    const double b = median(bare);
    const double t = median(text);
    const double w = median(window);
    std::printf("process start to window shown, median of %d runs:\n", runs);
    std::printf("  bare Qt window                 %7.1f ms\n", b);
    std::printf("  the same with one line of text %7.1f ms  (ratio %.2f)\n", t, t / b);
    std::printf("  tavlo                          %7.1f ms  (ratio %.2f)\n", w, w / b);
    return 0;
}
