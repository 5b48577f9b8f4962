// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <chrono>

namespace tavlo {

// The timer of the device link: a tick every 10 ms while it runs. start()
// always begins a fresh interval, so the first tick comes a whole interval
// after it; nothing ticks between waits. A loaded system may still deliver a
// tick late, or two at once: whoever needs a whole interval between two
// events measures it on now(), the clock the ticks are counted on.
class Ticker : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start() = 0;
    virtual void stop() = 0;
    // Monotonic time, from an arbitrary origin.
    virtual std::chrono::nanoseconds now() const = 0;

signals:
    void tick();
};

} // namespace tavlo
