// SPDX-License-Identifier: GPL-3.0-or-later
// Writes and verifies a 127-byte image against tavlo-devsim over a real
// pseudo-terminal and reports, for every run: the wall time against the
// nominal schedule (every tick at 10 ms), the gaps between the bytes written
// (smallest and median, against the 10 ms tick), the write stage against its
// 190 ticks, and the CPU time the program used. With --window the write runs
// through the window's own button, status line and progress bar; with
// --load N, N busy processes run meanwhile, and the smallest gap shows
// whether a late or doubled tick let two bytes out too close. Not a test:
// run it by hand, on an otherwise quiet machine:
//     bench_write [--window] [--load N] [runs]

#include "devicelink.h"
#include "filedialog.h"
#include "linkwords.h"
#include "mainwindow.h"
#include "messages.h"
#include "preciseticker.h"
#include "serialports.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace tavlo;

namespace {

constexpr int ImageBytes = 127;
constexpr int Filler = ImageBytes - 64;
// ESC "D" to the last filler byte: a tick after the command and after every byte but the last.
constexpr int WriteStageTicks = 1 + ImageBytes + Filler - 1;
// One tick after ESC "D", after every byte and filler byte, after the
// write, before the verify, and 100 for the reset.
constexpr int NominalTicks = 1 + ImageBytes + Filler + 1 + 1 + 100;
constexpr double TickMs = PreciseTicker::IntervalMs;

// Waits on the event loop, as the program does, until the link is idle.
void waitIdle(DeviceLink &link)
{
    if (!link.isBusy())
        return;
    QEventLoop loop;
    QObject::connect(&link, &DeviceLink::busyChanged, &loop, [&loop](bool busy) {
        if (!busy)
            loop.quit();
    });
    loop.exec();
}

class OneFile : public FileDialog {
public:
    explicit OneFile(QString path)
        : m_path(std::move(path))
    {
    }
    std::optional<QString> ask(Kind, const QString &) override { return m_path; }

private:
    QString m_path;
};

class NoMessages : public Messages {
public:
    void warning(const QString &, const QString &text) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    bool question(const QString &, const QString &, bool) override { return false; }
    SaveChoice askToSave(const QString &, const QString &) override { return SaveChoice::Discard; }
};

// The serial port, noting when each write leaves the program.
class TimedPort : public SystemSerialPort {
public:
    void write(const QByteArray &bytes) override
    {
        SystemSerialPort::write(bytes);
        writes.append({clock.nsecsElapsed(), bytes});
    }
    QElapsedTimer clock;
    QList<QPair<qint64, QByteArray>> writes;
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Gaps {
    double smallestMs = 0;
    double medianMs = 0;
    double writeStageMs = 0;
};

// From ESC "D" to the last filler byte.
Gaps gapsOf(const TimedPort &port)
{
    qsizetype first = -1;
    for (qsizetype i = 0; i < port.writes.size(); ++i)
        if (port.writes[i].second == QByteArray("\x1b"
                                                "D"))
            first = i;
    if (first < 0 || first + ImageBytes + Filler >= port.writes.size())
        return {};
    QList<double> gaps;
    for (qsizetype i = first + 1; i <= first + ImageBytes + Filler; ++i)
        gaps << (port.writes[i].first - port.writes[i - 1].first) / 1e6;
    std::sort(gaps.begin(), gaps.end());
    return {gaps.first(), gaps.at(gaps.size() / 2),
            (port.writes[first + ImageBytes + Filler].first - port.writes[first].first) / 1e6};
}

} // namespace

// Processes that keep a processor busy until they are killed.
struct BusyProcesses {
    std::vector<std::unique_ptr<QProcess>> running;
    explicit BusyProcesses(int count)
    {
        for (int i = 0; i < count; ++i) {
            running.push_back(std::make_unique<QProcess>());
            running.back()->start(QStringLiteral("/bin/sh"),
                                  {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
        }
    }
    ~BusyProcesses()
    {
        for (auto &p : running) {
            p->kill();
            p->waitForFinished();
        }
    }
};

int main(int argc, char *argv[])
{
    bool window = false;
    int load = 0;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--window") == 0)
            window = true;
        else if (qstrcmp(argv[i], "--load") == 0 && i + 1 < argc)
            load = std::max(0, atoi(argv[++i]));
        else
            runs = std::max(1, atoi(argv[i]));
    }
    if (window && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double nominalMs = NominalTicks * TickMs;

    QTemporaryDir dir;
    const QString image = dir.filePath("image.bin");
    {
        QFile file(image);
        file.open(QIODevice::WriteOnly);
        for (int i = 0; i < ImageBytes; ++i)
            file.putChar(char(i * 7));
    }
    QProcess device;
    device.start(QStringLiteral(TAVLO_DEVSIM), {"--log", dir.filePath("device.log")});
    if (!device.waitForReadyRead(10000)) {
        std::fprintf(stderr, "tavlo-devsim did not start\n");
        return 1;
    }
    const QString pts = QString::fromLocal8Bit(device.readLine()).trimmed();

    const BusyProcesses busy(load);
    std::printf("%s, %d busy processes; nominal: %d ticks, %.0f ms; write stage %d ticks, "
                "%.0f ms\n",
                window ? "through the window" : "the link alone", load, NominalTicks, nominalMs,
                WriteStageTicks, WriteStageTicks * TickMs);
    std::printf("%4s %9s %10s %12s %11s %11s %11s %8s %9s\n", "run", "wall ms", "vs nominal",
                "min gap ms", "median ms", "stage ms", "vs nominal", "cpu ms", "cpu/wall");
    int failures = 0;
    for (int run = 1; run <= runs; ++run) {
        TimedPort port;
        port.clock.start();
        PreciseTicker ticker;
        OneFile files(image);
        NoMessages messages;
        std::unique_ptr<MainWindow> form;
        std::unique_ptr<DeviceLink> bare;
        DeviceLink *link = nullptr;
        if (window) {
            form = std::make_unique<MainWindow>(Platform{files, messages, port, ticker, [] {
                                                             return QList<PortDescription>();
                                                         }});
            form->show();
            QCoreApplication::processEvents();
            link = &form->link();
        } else {
            bare = std::make_unique<DeviceLink>(port, ticker);
            link = bare.get();
            QObject::connect(link, &DeviceLink::finished, [](const LinkResult &result) {
                if (result.problem)
                    std::fprintf(stderr, "%s\n",
                                 qPrintable(words::describe(*result.problem).message));
            });
            QObject::connect(link, &DeviceLink::asked, link, [link](const LinkQuestion &question) {
                link->answer(question.token, false);
            });
        }
        if (!link->choosePort(pts))
            return 1;
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        bool completed = false;
        if (window) {
            form->controls().writeButton->click();
            waitIdle(*link);
            completed = form->controls().statusLine->text() == QLatin1String("Verify Completed");
        } else {
            QFile file(image);
            LinkResult result(LinkResult::End::Aborted);
            QObject::connect(link, &DeviceLink::finished,
                             [&result](const LinkResult &r) { result = r; });
            if (file.open(QIODevice::ReadOnly) && link->write(file.readAll()))
                waitIdle(*link);
            completed = result.end == LinkResult::End::Completed;
        }
        const double wallMs = wall.nsecsElapsed() / 1e6;
        const double cpuMs = (cpuSeconds() - cpuBefore) * 1000;
        link->closePort();
        failures += !completed;
        const Gaps gaps = gapsOf(port);
        const double stageNominal = WriteStageTicks * TickMs;
        std::printf("%4d %9.1f %+9.2f%% %12.3f %11.3f %11.1f %+10.2f%% %8.1f %8.2f%%\n", run,
                    wallMs, 100 * (wallMs - nominalMs) / nominalMs, gaps.smallestMs, gaps.medianMs,
                    gaps.writeStageMs, 100 * (gaps.writeStageMs - stageNominal) / stageNominal,
                    cpuMs, 100 * cpuMs / wallMs);
    }
    device.kill();
    device.waitForFinished();
    return failures == 0 ? 0 : 1;
}
