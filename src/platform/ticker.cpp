#include "ticker.h"

namespace tavlo {

PreciseTicker::PreciseTicker(QObject *parent)
    : Ticker(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &Ticker::tick);
}

void PreciseTicker::start()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void PreciseTicker::stop()
{
    m_timer.stop();
}

} // namespace tavlo
