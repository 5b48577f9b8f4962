// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devicelink.h"
#include "linkhost.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <array>

class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace tavlo {

class FileDialog;
class Messages;
class PortChooser;
class ProgressFill;
class Shape;
class StatusLine;
struct Platform;

// The widgets the device actions drive.
struct DeviceWidgets {
    QPushButton *readButton = nullptr;  // read the device into a file
    QPushButton *writeButton = nullptr; // write a file into the device
    std::array<QRadioButton *, ComCount> comButtons{};
    PortChooser *portBox = nullptr;
    Shape *progressOutline = nullptr;     // progress outline
    Shape *progressMark = nullptr;        // grey mark of the written extent
    ProgressFill *progressFill = nullptr; // progress fill
    StatusLine *statusLine = nullptr;     // status line
    QList<QWidget *> idleOnly;            // other buttons that must wait for a transfer to end
};

// Runs the window's device actions: the Com buttons and the port box, "Read &
// Save file from EEProm" and "Write File to EEProm", with the progress display
// and the status line. No second action starts while one runs.
class DeviceController : public QObject, private LinkHost {
    Q_OBJECT
public:
    DeviceController(const DeviceWidgets &widgets, const Platform &platform, QObject *parent);

    DeviceLink &link() { return *m_link; }

    // The window is closing: end a running transfer and close the port.
    void shutDown();

private:
    void choosePort(const QString &name, int comIndex);
    bool openPortShownInBox();
    void readFromDevice();
    void writeToDevice();
    void setBusy(bool busy);
    void uncheckComButtons();
    void holdRepaint();
    void repaintNow();
    void showNoPortOpen();
    QString verifyDifferences() const;

    void setStatus(const QString &text);
    void setStage(LinkStage stage) override;
    void byteWritten(unsigned char byte) override;
    void setStatusTone(StatusTone tone) override;
    void progressBegin(FillColour colour) override;
    void progressEmpty(FillColour colour) override;
    void progressFill(qint64 done, qint64 total) override;
    void progressMark() override;
    void progressHide() override;
    bool confirmLength(qint64 size) override;
    bool acceptReply(const DumpReply &reply, ReplyUse use) override;
    void reportOutcome(DeviceLink::Outcome outcome);
    bool askRetry() override;
    std::optional<QString> askSaveFile() override;
    void report(const LinkProblem &problem) override;
    void warn(const QString &title, const QString &message);

    DeviceWidgets m_w;
    FileDialog &m_dialog;
    Messages &m_messages;
    DeviceLink *m_link = nullptr;
    QString m_imageFile;    // the file being written, for the questions about it
    QByteArray m_written;   // what it holds: what a failed verify is compared with
    int m_failedInARow = 0; // verifies failed on this port since one passed
    QTimer m_repaint;       // paints what changed byte by byte at a pace the eye can follow
};

} // namespace tavlo
