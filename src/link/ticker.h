// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

namespace tavlo {

// The timer of the device link: a tick every 10 ms while it runs. start()
// always begins a fresh interval, so the first tick comes a whole interval
// after it; nothing ticks between waits.
class Ticker : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start() = 0;
    virtual void stop() = 0;

signals:
    void tick();
};

} // namespace tavlo
