// SPDX-License-Identifier: GPL-3.0-or-later
#include "stopsignals.h"

#include <QSocketNotifier>
#include <QString>

#include <atomic>
#include <csignal>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#else
#include <QTimer>
#include <windows.h>
#endif

namespace tavlo {

namespace {

std::atomic<int> firstSignal{0};
#ifdef Q_OS_UNIX
int wakeFds[2] = {-1, -1};
constexpr int Handled[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(Handled)];
struct sigaction previousPipe;

extern "C" void onSignal(int signal)
{
    int expected = 0;
    firstSignal.compare_exchange_strong(expected, signal);
    const char byte = char(signal);
    // Only async-signal-safe calls here; a full pipe just means a wake-up is pending.
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[0], &byte, 1);
}
#else
constexpr int Handled[] = {SIGINT, SIGTERM};
// Windows has no SIGHUP: a closed console stands for it, as a hung-up terminal does.
constexpr int SIGHUP = 1;

extern "C" void onSignal(int signal)
{
    int expected = 0;
    firstSignal.compare_exchange_strong(expected, signal);
}

// Set once the program has finished what a stop asked for.
std::atomic<bool> stopDone{false};

// Ctrl-C and Ctrl-Break in a console come here, on a thread of their own;
// the stop is delivered by the poll in the event loop. A console that is
// closed ends the process as soon as this returns: it waits for the run to
// end in order (the device reset), within the few seconds the system allows.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        onSignal(SIGINT);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: {
        onSignal(SIGHUP);
        constexpr int WaitMs = 4500;
        constexpr int StepMs = 20;
        for (int waited = 0; !stopDone && waited < WaitMs; waited += StepMs)
            Sleep(StepMs);
        return TRUE;
    }
    default:
        return FALSE;
    }
}
#endif

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    firstSignal = 0;
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, wakeFds) == 0) {
        m_notifier = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::deliver);
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a call that waits (an open, a read) returns EINTR, so a
    // stop is heard wherever the program waits.
    action.sa_flags = 0;
    for (std::size_t i = 0; i < std::size(Handled); ++i)
        sigaction(Handled[i], &action, &previous[i]);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previousPipe);
#else
    stopDone = false;
    for (int signal : Handled)
        std::signal(signal, onSignal);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &StopSignals::deliver);
    poll->start(50);
#endif
}

StopSignals::~StopSignals()
{
#ifdef Q_OS_UNIX
    for (std::size_t i = 0; i < std::size(Handled); ++i)
        sigaction(Handled[i], &previous[i], nullptr);
    sigaction(SIGPIPE, &previousPipe, nullptr);
    delete m_notifier;
    for (int &fd : wakeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#else
    stopDone = true;
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    for (int signal : Handled)
        std::signal(signal, SIG_DFL);
#endif
}

#ifdef Q_OS_UNIX
const int StopSignals::BrokenPipe = SIGPIPE;
#else
const int StopSignals::BrokenPipe = 13;
#endif

int StopSignals::caught()
{
    return firstSignal;
}

void StopSignals::requestStop(int signal)
{
    onSignal(signal);
}

QString StopSignals::name(int signal)
{
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
#ifdef Q_OS_UNIX
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    case SIGPIPE:
        return QStringLiteral("SIGPIPE (the output was closed)");
#else
    case SIGHUP:
        return QStringLiteral("the console closing");
    case 13:
        return QStringLiteral("a closed output");
#endif
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}

void StopSignals::deliver()
{
#ifdef Q_OS_UNIX
    char bytes[16];
    int last = 0;
    ssize_t n;
    while ((n = ::read(wakeFds[1], bytes, sizeof bytes)) > 0)
        last = static_cast<unsigned char>(bytes[n - 1]);
    if (last != 0)
        emit received(last);
#else
    // Delivered once, as the wake-up pipe delivers it once.
    if (const int signal = firstSignal; signal != 0 && !m_delivered) {
        m_delivered = true;
        emit received(signal);
    }
#endif
}

} // namespace tavlo

#include "moc_stopsignals.cpp"
