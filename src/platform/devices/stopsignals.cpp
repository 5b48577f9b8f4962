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

extern "C" void onSignal(int signal)
{
    int expected = 0;
    firstSignal.compare_exchange_strong(expected, signal);
}

// Ctrl-C and Ctrl-Break in a console come here, on a thread of their own;
// the stop is delivered by the poll in the event loop.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    onSignal(event == CTRL_CLOSE_EVENT ? SIGTERM : SIGINT);
    return TRUE;
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
