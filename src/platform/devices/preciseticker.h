// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ticker.h"

#include <QTimer>

class QSocketNotifier;

namespace tavlo {

// Ticks on the interval to the microsecond. Qt's timers round what is left
// of an interval up to a whole millisecond at every pass of the event loop,
// which made a tick up to a millisecond late whenever the window repainted
// during a pause; on Linux a timerfd wakes the loop on time. Elsewhere a
// single-shot timer is armed for what is left of each interval and armed
// again when it comes early, so that no tick comes before its time. Within
// one run the ticks keep to the schedule set at its start instead of
// drifting.
class PreciseTicker : public Ticker {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 10;
    static constexpr std::chrono::milliseconds Interval{IntervalMs};

    explicit PreciseTicker(QObject *parent = nullptr);
    ~PreciseTicker() override;
    void start() override;
    void stop() override;
    std::chrono::nanoseconds now() const override;

private:
    void expired();
    void timerExpired();
    void arm();

    bool m_running = false;
    // Counts starts and stops: ticks that expired before one are not delivered after it.
    quint64 m_generation = 0;
#ifdef Q_OS_LINUX
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
#endif
    QTimer m_timer;                   // where there is no timerfd
    std::chrono::nanoseconds m_due{}; // of the next tick, on now()
    bool m_fineTimers = false;        // Windows: the system's timer resolution raised
};

} // namespace tavlo
