// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tavlo {

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal delivered by the event
// loop, so a program can end what it is doing in order instead of dying in
// the middle of it. SIGPIPE is ignored meanwhile: a write to a closed pipe
// fails with EPIPE instead, which the program turns into requestStop().
// Only one instance may exist at a time.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    // SIGPIPE's number, where the system has one.
    static const int BrokenPipe;

    // The first signal that arrived, or 0. Also set when the event loop has
    // not yet run to deliver it.
    static int caught();
    // Acts as if `signal` had arrived: for an output found closed.
    static void requestStop(int signal);
    static QString name(int signal);

signals:
    void received(int signal);

private:
    void deliver();

#ifdef Q_OS_UNIX
    QSocketNotifier *m_notifier = nullptr;
#else
    bool m_delivered = false; // where a poll delivers the stop
#endif
};

} // namespace tavlo
