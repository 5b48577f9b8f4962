// SPDX-License-Identifier: GPL-3.0-or-later
#include "preciseticker.h"

#ifdef Q_OS_LINUX
#include <QSocketNotifier>

#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

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
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_running)
            emit tick();
    });
}

PreciseTicker::~PreciseTicker()
{
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
        constexpr long IntervalNs = IntervalMs * 1000L * 1000L;
        const itimerspec every{{0, IntervalNs}, {0, IntervalNs}};
        ::timerfd_settime(m_fd, 0, &every, nullptr); // restarts, and drops what expired before
        return;
    }
#endif
    m_timer.start(); // restarts a running timer
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
