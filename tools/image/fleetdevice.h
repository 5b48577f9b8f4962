// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "roster.h"
#include "serialport.h"
#include "session.h"
#include "ticker.h"

#include <QObject>
#include <QString>

namespace tavlo::cli {

struct FleetOptions {
    QString backupDir;
    int retries = 0;
    int settleMs = 1000;
};

// How one device ended, for its line of the report.
struct DeviceResult {
    int row = 0;
    QString callsign;
    QString port;   // as given or as it appeared
    QString serial; // the USB serial number, where there is one
    bool verified = false;
    QString result; // "verified", "verify failed", "not written: no reply", ...
    QString backup; // the file that holds what the device held before, or empty
};

// One tracker of the fleet on its own port, ticker and session: it opens the
// port, lets the device settle, saves its memory as the backup, writes the
// row's image, verifies it (writing again up to the retries) and resets the
// device. Nothing is written without a saved backup, and only a verify
// makes the row done.
class FleetDevice : public QObject {
    Q_OBJECT
public:
    FleetDevice(RosterRow row, QString port, QString serial, FleetOptions options,
                QObject *parent = nullptr);

    void start();
    // Ctrl-C: ends what runs, resets the device, and reports what it holds.
    void stop();
    const RosterRow &row() const { return m_row; }
    const QString &port() const { return m_port; }
    // One line for the progress display.
    QString status() const { return m_status; }

signals:
    void changed();
    void finished(const tavlo::cli::DeviceResult &result);

private:
    enum class Step { Opening, Settle, Backup, Write, Verify, Compare, Reset, Closing };

    void onEnded(TransferEnd end);
    void onDone();
    void backupArrived();
    void compare();
    void resetThen(const QString &result, bool verified);
    void finishNow(const QString &result);
    QString holds() const;
    void setStatus(const QString &text);

    RosterRow m_row;
    QString m_port;
    QString m_serial;
    FleetOptions m_options;
    QtSerialPort m_serialPort;
    PreciseTicker m_ticker;
    LinkSession m_session{m_serialPort, m_ticker};
    Step m_step = Step::Opening;
    int m_retriesLeft = 0;
    bool m_verified = false;
    bool m_stopped = false;
    QString m_result; // said once the reset is done
    QString m_backup;
    QString m_status;
};

} // namespace tavlo::cli
