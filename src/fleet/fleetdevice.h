// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devicerun.h"
#include "preciseticker.h"
#include "roster.h"
#include "serialports.h"

#include <QObject>
#include <QString>

namespace tavlo {

struct FleetOptions {
    QString backupDir;
    int retries = 0;
    int settleMs = 1000;
    // The row this run verified on a tracker whose memory this is, or 0.
    std::function<int(const QByteArray &memory)> programmedWith;
};

// How one device ended, for its line of the report.
struct DeviceResult {
    int row = 0;
    QString callsign;
    QString port;   // as given or as it appeared
    QString serial; // the USB serial number, where there is one
    bool verified = false;
    QString result;                     // "verified", "verify failed", "not written: no reply", ...
    QString backup;                     // the file that holds what the device held before, or empty
    Written written = Written::Nothing; // of the row's image
    int alreadyHolds = 0; // the row this run verified on this very tracker, which was left alone
};

// One tracker of the fleet on its own port, ticker and link, with the
// steps of `write --backup`: the port opened, the device settled, its memory
// saved as the backup (or nothing written), the row's image written and
// verified (again up to the retries), the device reset. Only a verify makes
// the row done.
class FleetDevice : public QObject {
    Q_OBJECT
public:
    FleetDevice(RosterRow row, QString port, QString serial, FleetOptions options,
                QObject *parent = nullptr);

    void start();
    // Ctrl-C: ends what runs, resets the device, and reports what it holds.
    void stop() { m_run.stop(); }
    const RosterRow &row() const { return m_row; }
    const QString &port() const { return m_port; }
    // One line for the progress display.
    QString status() const { return m_status; }

signals:
    void changed();
    void finished(const tavlo::DeviceResult &result);

private:
    void ended(const LinkResult &ending);
    QString resultOf(const LinkResult &ending) const;
    QString holds() const;
    void setStatus(const QString &text);

    RosterRow m_row;
    QString m_port;
    QString m_serial;
    QString m_backup;
    SystemSerialPort m_serialPort;
    PreciseTicker m_ticker;
    DeviceLink m_link{m_serialPort, m_ticker};
    DeviceRun m_run;
    QString m_problem; // what the run reported last, in words
    QString m_status;
    int m_alreadyHolds = 0;
    DeviceResult m_result;
};

} // namespace tavlo
