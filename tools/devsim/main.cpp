// SPDX-License-Identifier: GPL-3.0-or-later
// tavlo-devsim: a simulated tracker device on a pseudo-terminal, for trying
// the window and the command-line tool without hardware, and for tests.

#include "commandline.h"
#include "licence.h"
#include "protocol.h"
#include "trackercore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace tavlo;
using namespace tavlo::protocol;

constexpr int EepromSize = TrackerCore::EepromSize;
// One byte at the link's speed: a start bit, 8 data bits and a stop bit.
constexpr int ByteTimeUs = (10 * 1000000 + BaudRate - 1) / BaudRate;

// The switches of the simulator: the tracker's own, and those of the line.
struct Faults {
    TrackerFaults tracker;
    bool pace = false;   // reply at 9600 baud instead of at once
    int stallAfter = -1; // received bytes before the device stops reading for a while
    int stallMs = 0;
};

// What a GPS receiver on the wrong port sends, twice a second.
const QByteArray Nmea("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n");

class Device : public QObject {
public:
    Device(int master, const Faults &faults, QByteArray memory, QTextStream &log)
        : m_master(master)
        , m_faults(faults)
        , m_log(log)
    {
        m_core.faults = faults.tracker;
        m_core.memory = std::move(memory);
        m_clock.start();
        m_notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &Device::readable);
        m_hangupPoll.setInterval(5);
        connect(&m_hangupPoll, &QTimer::timeout, this, &Device::checkOpened);
        m_pacer.setTimerType(Qt::PreciseTimer);
        m_pacer.setInterval(1);
        connect(&m_pacer, &QTimer::timeout, this, &Device::sendPaced);
        if (m_faults.tracker.talker) {
            m_talk.setInterval(500);
            connect(&m_talk, &QTimer::timeout, this, [this] {
                if (!m_closed)
                    send(Nmea);
            });
            m_talk.start();
        }
        waitForOpen();
    }

private:
    void note(const QString &what)
    {
        m_log << QString::asprintf("%10.3f ", m_clock.nsecsElapsed() / 1e6) << what << Qt::endl;
    }

    // Nobody has the terminal open: try a read now and then. The first bytes
    // after that come from a new opening, which resets the device. (The hang-up
    // flag is no guide: it can stay set after a serial library reopens.)
    void waitForOpen()
    {
        m_closed = true;
        m_notifier->setEnabled(false);
        m_hangupPoll.start();
    }

    void checkOpened() { readable(); }

    void readable()
    {
        char buffer[512];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            if (!m_closed && !(n < 0 && errno == EAGAIN)) {
                note(QStringLiteral("closed"));
                waitForOpen();
            }
            return;
        }
        if (m_closed)
            reset();
        const QByteArray chunk(buffer, n);
        note(QStringLiteral("< ") + QString::fromLatin1(chunk.toHex(' ').toUpper()));
        if (!take(chunk))
            return;
        if (m_faults.stallAfter >= 0 && m_core.received() >= m_faults.stallAfter && !m_stalled)
            stall();
    }

    // The first bytes after nobody had the terminal open come from a new opening.
    void reset()
    {
        m_closed = false;
        m_hangupPoll.stop();
        m_notifier->setEnabled(true);
        m_core.reopened();
        note(QStringLiteral("opened (reset)"));
    }

    // The bytes of one read, to the tracker; what it answers goes back. False
    // when the device went away.
    bool take(const QByteArray &chunk)
    {
        const TrackerCore::Reaction reaction = m_core.receive(chunk);
        for (const QString &n : reaction.notes)
            note(n);
        if (reaction.hungUp) {
            ::close(m_master);
            QCoreApplication::exit(0);
            return false;
        }
        if (!reaction.answer.isEmpty())
            send(reaction.answer);
        return true;
    }

    // A device busy elsewhere: what arrives meanwhile waits in the terminal.
    void stall()
    {
        m_stalled = true;
        note(QStringLiteral("stalling %1 ms").arg(m_faults.stallMs));
        m_notifier->setEnabled(false);
        QTimer::singleShot(m_faults.stallMs, this, [this] {
            note(QStringLiteral("reading again"));
            m_notifier->setEnabled(!m_closed);
            readable();
        });
    }

    void send(const QByteArray &bytes)
    {
        if (m_faults.pace) {
            m_outgoing += bytes;
            m_paceClock.start();
            m_sentPaced = 0;
            m_pacer.start();
            return;
        }
        note(QStringLiteral("> ") + QString::fromLatin1(bytes.toHex(' ').toUpper()));
        writeAll(bytes);
    }

    // Writes every byte: a full terminal buffer takes the rest a moment
    // later; what cannot be written at all is said in the log, not lost silently.
    void writeAll(const QByteArray &bytes)
    {
        constexpr int Tries = 50; // of WaitMs each: a second for the reader
        constexpr int WaitMs = 20;
        qsizetype done = 0;
        for (int tries = 0; done < bytes.size() && tries < Tries;) {
            const ssize_t n =
                ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno != EAGAIN) {
                break;
            } else {
                pollfd writable{m_master, POLLOUT, 0};
                ::poll(&writable, 1, WaitMs);
                ++tries;
            }
        }
        if (done < bytes.size())
            note(QStringLiteral("lost %1 of %2 bytes: the terminal took no more")
                     .arg(bytes.size() - done)
                     .arg(bytes.size()));
    }

    // Sends what 9600 baud would have sent by now.
    void sendPaced()
    {
        const qint64 due = m_paceClock.nsecsElapsed() / 1000 / ByteTimeUs + 1;
        const qint64 count = std::min<qint64>(due - m_sentPaced, m_outgoing.size());
        if (count > 0) {
            const QByteArray part = m_outgoing.left(count);
            m_outgoing.remove(0, count);
            m_sentPaced += count;
            note(QStringLiteral("> ") + QString::fromLatin1(part.toHex(' ').toUpper()));
            writeAll(part);
        }
        if (m_outgoing.isEmpty())
            m_pacer.stop();
    }

    int m_master;
    Faults m_faults;
    TrackerCore m_core;
    QTextStream &m_log;
    QElapsedTimer m_clock;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_hangupPoll;
    QTimer m_pacer;
    QTimer m_talk;
    QElapsedTimer m_paceClock;
    QByteArray m_outgoing;
    qint64 m_sentPaced = 0;
    bool m_closed = true;
    bool m_stalled = false;
};

int openTerminal(QString &slaveName)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return -1;
    slaveName = QString::fromLocal8Bit(ptsname(master));
    // Raw from the start, so nothing is echoed or translated before a program
    // configures the port; the settings stay while the device runs.
    const int slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        cfsetspeed(&t, B9600);
        tcsetattr(slave, TCSANOW, &t);
        ::close(slave);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    return master;
}

const char HelpText[] = R"(Usage: tavlo-devsim [OPTIONS]

A simulated tracker device on a pseudo-terminal. It prints the terminal's
name; point the window's port box or tavlo-image --port at it.

ESC "D" and the bytes after it go into its 256-byte memory from offset 0;
ESC ESC "U" is answered with the count 127 and the first 127 bytes. Closing
and opening the terminal resets it.

Options:
  --memory FILE        Load the memory from an image file.
  --log FILE           Write the timestamped log to a file instead of
                       standard error.
  --silent             Never answer.
  --short N            Answer with only the first N bytes.
  --corrupt K          Flip bits of memory byte K in every answer.
  --flaky K            Flip bits of memory byte K in every other answer, the
                       first included (a link that garbles now and then).
  --stray              Send stray bytes at every wake-up ESC.
  --pace               Answer at the pace of 9600 baud.
  --hangup-after N     Go away after N received bytes.
  --stall N:MS         After N received bytes, stop reading for MS
                       milliseconds, once.
  --count N            Answer with the count byte N and N memory bytes (a
                       device with another memory size, or a wrong count).
  --talker             Be no tracker: send NMEA sentences twice a second, as
                       a GPS receiver on the wrong port does, and ignore
                       every command.
  -h, --help           Print this help.
  -v, --version        Print the version.
)";

// A whole number option from `low` to `high`, left as it is when not given.
bool numberOption(const commandline::Arguments &parsed, const char *name, int low, int high,
                  int &value)
{
    if (!parsed.given(name))
        return true;
    bool ok = false;
    value = parsed.value(name).toInt(&ok);
    return ok && value >= low && value <= high;
}

bool stallOption(const commandline::Arguments &parsed, Faults &faults)
{
    if (!parsed.given("--stall"))
        return true;
    const QStringList parts = parsed.value("--stall").split(u':');
    bool countOk = false;
    bool msOk = false;
    if (parts.size() == 2) {
        faults.stallAfter = parts[0].toInt(&countOk);
        faults.stallMs = parts[1].toInt(&msOk);
    }
    return countOk && msOk && faults.stallAfter >= 0 && faults.stallMs >= 0;
}

// The faults the options ask for; an error message when one is wrong.
QString readFaults(const commandline::Arguments &parsed, Faults &faults)
{
    constexpr int Most = 1 << 30;
    TrackerFaults &tracker = faults.tracker;
    tracker.silent = parsed.has("--silent");
    tracker.stray = parsed.has("--stray");
    faults.pace = parsed.has("--pace");
    tracker.talker = parsed.has("--talker");
    if (!numberOption(parsed, "--short", 0, Most, tracker.shortReply) ||
        !numberOption(parsed, "--corrupt", 0, Most, tracker.corrupt) ||
        !numberOption(parsed, "--flaky", 0, Most, tracker.flaky) ||
        !numberOption(parsed, "--hangup-after", 0, Most, tracker.hangupAfter))
        return QStringLiteral("--short, --corrupt, --flaky and --hangup-after take a whole number");
    if (!numberOption(parsed, "--count", 0, 255, tracker.count))
        return QStringLiteral("--count takes 0 to 255");
    if (!stallOption(parsed, faults))
        return QStringLiteral("--stall takes n:ms, e.g. 188:300");
    return QString();
}

int fail(const QString &message)
{
    std::fprintf(stderr, "tavlo-devsim: %s\n", qPrintable(message));
    return 1;
}

// Opens the log and the pseudo-terminal, says the terminal's name, and runs
// the device until the program ends.
int runDevice(const QString &logPath, const Faults &faults, const QByteArray &memory,
              QCoreApplication &app)
{
    QFile logFile;
    if (!logPath.isEmpty()) {
        logFile.setFileName(logPath);
        if (!logFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return fail(QStringLiteral("cannot write %1").arg(logPath));
    } else {
        logFile.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    QTextStream logStream(&logFile);

    QString slaveName;
    const int master = openTerminal(slaveName);
    if (master < 0) {
        std::perror("tavlo-devsim: no pseudo-terminal");
        return 1;
    }
    std::printf("%s\n", qPrintable(slaveName));
    std::fflush(stdout);

    Device device(master, faults, memory, logStream);
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const commandline::Arguments parsed = commandline::parse(
        app.arguments().mid(1), {{"--silent", "--stray", "--pace", "--talker"},
                                 {"--memory", "--log", "--short", "--corrupt", "--flaky",
                                  "--hangup-after", "--stall", "--count"},
                                 {},
                                 {},
                                 {}});
    if (parsed.help || parsed.version) {
        std::fputs(parsed.help ? HelpText : "tavlo-devsim " TAVLO_VERSION "\n" TAVLO_LICENCE "\n",
                   stdout);
        return 0;
    }
    if (!parsed.error.isEmpty() || !parsed.positional.isEmpty())
        return fail(parsed.error.isEmpty() ? QStringLiteral("takes no arguments") : parsed.error);
    Faults faults;
    if (const QString error = readFaults(parsed, faults); !error.isEmpty())
        return fail(error);

    QByteArray bytes(EepromSize, char(0xFF));
    if (parsed.given("--memory")) {
        QFile file(parsed.value("--memory"));
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2")
                            .arg(parsed.value("--memory"), file.errorString()));
        const QByteArray image = file.read(EepromSize);
        bytes.replace(0, image.size(), image);
    }
    return runDevice(parsed.value("--log"), faults, bytes, app);
}
