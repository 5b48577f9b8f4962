// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ticker.h"

#include <QTimer>

class QSocketNotifier;

namespace tavlo {

// Ticks on the interval to the microsecond. Qt's timers round what is left
// of an interval up to a whole millisecond at every pass of the event loop,
// which made a tick up to a millisecond late whenever the window repainted
// during a pause; on Linux a timerfd wakes the loop on time. Within one run
// the ticks keep to the schedule set at its start instead of drifting.
class PreciseTicker : public Ticker {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 10;

    explicit PreciseTicker(QObject *parent = nullptr);
    ~PreciseTicker() override;
    void start() override;
    void stop() override;
    std::chrono::nanoseconds now() const override;

private:
    void expired();

    bool m_running = false;
    // Counts starts and stops: ticks that expired before one are not delivered after it.
    quint64 m_generation = 0;
#ifdef Q_OS_LINUX
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
#endif
    QTimer m_timer; // where there is no timerfd
};

} // namespace tavlo
