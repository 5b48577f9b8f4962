// Writes and verifies a 127-byte image against tavlo-devsim over a real
// pseudo-terminal and reports the wall time against the nominal schedule
// (every tick at 10 ms) and the CPU time the program used. Not a test: run it
// by hand, on an otherwise quiet machine.

#include "devicelink.h"
#include "linkhost.h"
#include "serialport.h"
#include "ticker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

using namespace tavlo;

namespace {

class QuietHost : public LinkHost {
public:
    void setStatus(const QString &) override {}
    void setStatusTone(StatusTone) override {}
    void progressBegin(FillColour) override {}
    void progressEmpty(FillColour) override {}
    void progressFill(qint64, qint64) override {}
    void progressMark() override {}
    void progressHide() override {}
    bool confirmLength(const QString &, qint64) override { return true; }
    bool askRetry() override { return false; }
    std::optional<QString> askSaveFile() override { return std::nullopt; }
    void report(const QString &, const QString &message) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    constexpr int ImageBytes = 127;
    constexpr int Filler = ImageBytes - 64;
    // One tick after ESC "D", after every byte and filler byte, after the
    // write, before the verify, and 100 for the reset.
    constexpr int NominalTicks = 1 + ImageBytes + Filler + 1 + 1 + 100;
    constexpr double NominalMs = NominalTicks * PreciseTicker::IntervalMs;

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

    std::printf("nominal schedule: %d ticks, %.0f ms\n", NominalTicks, NominalMs);
    std::printf("%4s %10s %10s %9s %8s\n", "run", "wall ms", "vs nominal", "cpu ms", "cpu/wall");
    int failures = 0;
    for (int run = 1; run <= runs; ++run) {
        QtSerialPort port;
        PreciseTicker ticker;
        QuietHost host;
        DeviceLink link(port, ticker, host);
        if (!link.choosePort(pts))
            return 1;
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        const auto outcome = link.writeAndVerify(image);
        const double wallMs = wall.nsecsElapsed() / 1e6;
        const double cpuMs = (cpuSeconds() - cpuBefore) * 1000;
        link.closePort();
        failures += outcome != DeviceLink::Outcome::Completed;
        std::printf("%4d %10.1f %+9.1f%% %9.1f %7.2f%%\n", run, wallMs,
                    100 * (wallMs - NominalMs) / NominalMs, cpuMs, 100 * cpuMs / wallMs);
    }
    device.kill();
    device.waitForFinished();
    return failures == 0 ? 0 : 1;
}
