// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleetdevice.h"
#include "roster.h"
#include "systemview.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <memory>
#include <vector>

namespace tavlo {

// What a fleet run does: its rows, and the trackers they go to.
struct FleetPlan {
    QList<RosterRow> rows;
    QStringList ports; // row k to the k-th; or, with `watch`, none
    bool watch = false;
    QString watchDir; // where a link appears for each tracker plugged in
    FleetOptions options;
};

// A tracker this run wrote to, known by what it is: its device node while
// that is present, its adapter's serial number, and the image it holds.
struct Tracker {
    int row = 0;
    QString port;   // as it appeared
    QString device; // where it led
    QString serial;
    SystemView::Node node;
    QByteArray image;
    QString backup;
    QString result;

    bool isSame(const SystemView::Node &other, const QString &otherSerial) const
    {
        return node.isSameNode(other) || (!serial.isEmpty() && serial == otherSerial);
    }
};

// A club's trackers programmed at once, each with its row of the roster: the
// given ports all at once, or each tracker as it is plugged in. A tracker
// that this run programmed is left alone when it comes back; a row that
// failed goes to the next tracker; one that was left half-written is kept
// track of until it is programmed. It says what happens as signals; the
// words on a terminal and the report's format are the caller's.
class FleetRun : public QObject {
    Q_OBJECT
public:
    explicit FleetRun(FleetPlan plan, SystemView &system, QObject *parent = nullptr);
    ~FleetRun() override;

    void start();
    // Ctrl-C: every device ends what it does in order; the run then ends.
    void stop();
    bool isDone() const;

    // The devices at work now, for a progress display.
    QList<const FleetDevice *> running() const;
    // At the end: the rows no device took, the rows verified, and the
    // trackers left with a half-written image.
    QList<RosterRow> notTaken() const;
    int verified() const { return m_verified; }
    int total() const { return m_total; }
    const QList<Tracker> &halfWritten() const { return m_halfWritten; }

signals:
    void changed();
    // One device ended, verified or not.
    void deviceFinished(const tavlo::DeviceResult &result);
    // A sentence about the run: a name left alone, a tracker to unplug.
    void said(const QString &sentence);
    void finished();

private:
    static QStringList portsIn(const QString &dir);
    void lookForPorts();
    QString notAPort(const QString &link, const QString &device) const;
    void forgetNodesGone();
    void startDevice(const QString &open, const QString &shown);
    void deviceEnded(FleetDevice *device, const DeviceResult &result, const QString &node,
                     const SystemView::Node &was);
    void keepTrack(const DeviceResult &result, const QString &device, const SystemView::Node &node,
                   const QByteArray &image);
    int programmedWith(const QByteArray &memory) const;
    void endIfDone();

    FleetPlan m_plan;
    SystemView &m_system;
    int m_total = 0;
    int m_verified = 0;
    bool m_stopping = false;
    std::deque<RosterRow> m_queue;
    std::vector<std::unique_ptr<FleetDevice>> m_devices;
    QList<Tracker> m_programmed;  // verified, each with its row
    QList<Tracker> m_halfWritten; // written to, not verified, and not programmed since
    QStringList m_seen;
    QTimer m_watchTimer;
};

} // namespace tavlo
