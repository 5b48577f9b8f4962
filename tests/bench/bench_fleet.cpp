// SPDX-License-Identifier: GPL-3.0-or-later
// Programs N simulated trackers (default 4) with one `tavlo-image fleet` run
// and, in the same run, one tracker with `tavlo-image write --backup` (the
// same steps for one device), and reports: both wall times and their ratio,
// every device's write span (ESC "D" to the last filler byte, as the device
// logged it) against its 190 ticks, and the CPU time of the fleet run per
// device. Not a test: run it by hand, on an otherwise quiet machine:
//     bench_fleet [runs [devices]]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

constexpr int ImageBytes = 127;
constexpr int Filler = ImageBytes - 64;
constexpr int WriteStageTicks = 1 + ImageBytes + Filler - 1;
constexpr double TickMs = 10;

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Device {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QString log;
    QString pts;
};

bool start(Device &d, const QString &log)
{
    d.log = log;
    d.process->start(QStringLiteral(TAVLO_DEVSIM), {"--log", log});
    if (!d.process->waitForReadyRead(10000))
        return false;
    d.pts = QString::fromLocal8Bit(d.process->readLine()).trimmed();
    return true;
}

// From ESC "D" to the last filler byte, in the device's own log.
double writeSpanMs(const QString &log)
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    static const QRegularExpression line(QStringLiteral("^\\s*([0-9.]+) < (.*)$"));
    QList<double> times;
    bool writing = false;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const auto m = line.match(QString::fromLatin1(raw));
        if (!m.hasMatch())
            continue;
        if (m.captured(2) == u"1B 44")
            writing = true;
        else if (m.captured(2).startsWith(QLatin1String("1B")))
            writing = false;
        if (writing)
            times << m.captured(1).toDouble();
    }
    return times.size() > 1 ? times.last() - times.first() : 0;
}

double timed(const QString &program, const QStringList &args, int &status)
{
    QElapsedTimer wall;
    wall.start();
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return wall.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const int count = argc > 2 ? std::clamp(atoi(argv[2]), 1, 32) : 4;
    QTemporaryDir dir;
    const QString image = dir.filePath("image.bin");
    {
        QFile file(image);
        file.open(QIODevice::WriteOnly);
        QFile example(QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin"));
        example.open(QIODevice::ReadOnly);
        file.write(example.readAll());
    }
    QByteArray roster = "callsign\n";
    for (int k = 0; k < count; ++k)
        roster += QByteArray("OK1A") + char('A' + k / 26) + char('A' + k % 26) + '\n';
    {
        QFile file(dir.filePath("roster.csv"));
        file.open(QIODevice::WriteOnly);
        file.write(roster);
    }
    const double stageNominal = WriteStageTicks * TickMs;
    std::printf("%d devices; write stage nominal %d ticks, %.0f ms\n", count, WriteStageTicks,
                stageNominal);
    std::printf("%4s %10s %10s %7s %14s %14s %12s\n", "run", "one ms", "fleet ms", "ratio",
                "span min ms", "span max ms", "cpu/device");
    int failures = 0;
    for (int run = 1; run <= runs; ++run) {
        std::vector<Device> devices(count + 1);
        for (int k = 0; k <= count; ++k)
            if (!start(devices[k], dir.filePath(QStringLiteral("run%1-dev%2.log").arg(run).arg(k))))
                return 1;
        int status = 0;
        const double one = timed(QStringLiteral(TAVLO_IMAGE_TOOL),
                                 {"write", "--quiet", "--settle", "0", "--backup",
                                  dir.filePath("one.bin"), "--port", devices[0].pts, image},
                                 status);
        failures += status != 0;
        QStringList args{"fleet",        "--quiet",
                         "--settle",     "0",
                         "--backup-dir", dir.filePath(QStringLiteral("backups%1").arg(run)),
                         image,          dir.filePath("roster.csv")};
        for (int k = 1; k <= count; ++k)
            args << "--port" << devices[k].pts;
        const double cpuBefore = childCpuSeconds();
        const double fleet = timed(QStringLiteral(TAVLO_IMAGE_TOOL), args, status);
        const double cpuMs = (childCpuSeconds() - cpuBefore) * 1000;
        failures += status != 0;
        QList<double> spans;
        for (int k = 1; k <= count; ++k)
            spans << writeSpanMs(devices[k].log);
        std::sort(spans.begin(), spans.end());
        std::printf("%4d %10.1f %10.1f %7.3f %8.1f %+5.2f%% %8.1f %+5.2f%% %11.2f%%\n", run, one,
                    fleet, fleet / one, spans.first(),
                    100 * (spans.first() - stageNominal) / stageNominal, spans.last(),
                    100 * (spans.last() - stageNominal) / stageNominal,
                    100 * cpuMs / fleet / count);
        for (Device &d : devices) {
            d.process->kill();
            d.process->waitForFinished();
        }
    }
    return failures == 0 ? 0 : 1;
}
