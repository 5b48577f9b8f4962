// SPDX-License-Identifier: GPL-3.0-or-later
#include "preciseticker.h"

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h:
#include <timeapi.h>
#endif

#ifdef Q_OS_LINUX
#include <QSocketNotifier>

#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

#include <QThread>
#include <utility>

namespace tavlo {

PreciseTicker::PreciseTicker(QObject *parent)
    : Ticker(parent)
{
#ifdef Q_OS_LINUX
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &PreciseTicker::expired);
        return;
    }
#endif
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PreciseTicker::timerExpired);
}

PreciseTicker::~PreciseTicker()
{
    stop();
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

void PreciseTicker::start()
{
    m_running = true;
    ++m_generation;
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        constexpr long IntervalNs = std::chrono::nanoseconds(Interval).count();
        const itimerspec every{{0, IntervalNs}, {0, IntervalNs}};
        ::timerfd_settime(m_fd, 0, &every, nullptr); // restarts, and drops what expired before
        return;
    }
#endif
#ifdef Q_OS_WIN
    if (!std::exchange(m_fineTimers, true))
        timeBeginPeriod(1); // the system's timers to the millisecond while ticks run
#endif
    m_due = now() + Interval;
    arm();
}

// What is left of the interval in whole milliseconds, rounded down: a
// timer is late by up to a millisecond more where the system's timers are
// coarse (wine), and the rest is waited out in timerExpired().
void PreciseTicker::arm()
{
    const auto left = std::chrono::floor<std::chrono::milliseconds>(m_due - now());
    m_timer.start(std::max<qint64>(left.count(), 0)); // restarts a running timer
}

// A tick for every interval that passed, none before its time. A wake-up
// just before it waits out the rest here: a timer armed for less than a
// millisecond or two comes a millisecond late.
void PreciseTicker::timerExpired()
{
    if (!m_running)
        return;
    constexpr std::chrono::microseconds WaitOutBelow{2000};
    if (const auto left = m_due - now(); left > left.zero() && left < WaitOutBelow)
        while (now() < m_due)
            QThread::yieldCurrentThread();
    const quint64 generation = m_generation;
    while (m_generation == generation && now() >= m_due) {
        m_due += Interval;
        emit tick();
    }
    if (m_generation == generation)
        arm();
}

void PreciseTicker::stop()
{
    m_running = false;
    ++m_generation;
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        const itimerspec off{};
        ::timerfd_settime(m_fd, 0, &off, nullptr);
        return;
    }
#endif
#ifdef Q_OS_WIN
    if (std::exchange(m_fineTimers, false))
        timeEndPeriod(1);
#endif
    m_timer.stop();
}

std::chrono::nanoseconds PreciseTicker::now() const
{
    // The clock the timerfd counts on.
    return std::chrono::steady_clock::now().time_since_epoch();
}

// One tick for every interval that passed, so a busy loop does not stretch a
// long wait. A receiver that stops or restarts the timer on a tick asked for
// a fresh interval: the ticks that expired before it are not its.
void PreciseTicker::expired()
{
#ifdef Q_OS_LINUX
    std::uint64_t expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations)
        return;
    const quint64 generation = m_generation;
    for (std::uint64_t i = 0; i < expirations && m_generation == generation; ++i)
        emit tick();
#endif
}

} // namespace tavlo

#include "moc_preciseticker.cpp"
