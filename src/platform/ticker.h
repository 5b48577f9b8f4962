#pragma once

#include <QObject>
#include <QTimer>

namespace tavlo {

// The timer of the device link: a tick every 10 ms while it runs.
class Ticker : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start() = 0;
    virtual void stop() = 0;

signals:
    void tick();
};

// One repeating precise timer: chained single shots would drift.
class PreciseTicker : public Ticker {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 10;

    explicit PreciseTicker(QObject *parent = nullptr);
    void start() override;
    void stop() override;

private:
    QTimer m_timer;
};

} // namespace tavlo
