// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devicelink.h"
#include "fillplan.h"

#include <QList>
#include <QObject>
#include <QPointer>
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
class DeviceController : public QObject {
    Q_OBJECT
public:
    DeviceController(const DeviceWidgets &widgets, const Platform &platform, QObject *parent);

    DeviceLink &link() { return *m_link; }

    // The window is closing: end a running transfer and close the port.
    void shutDown();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void holdKeys(bool hold);
    void choosePort(const QString &name, int comIndex);
    bool openPortShownInBox();
    void readFromDevice();
    void writeToDevice();
    void setBusy(bool busy);
    void uncheckComButtons();
    void holdRepaint();
    void repaintNow();
    void showNoPortOpen();
    void describePort(const QString &text);
    QString verifyDifferences() const;

    void setStatus(const QString &text);
    void setStage(LinkStage stage);
    void byteWritten(unsigned char byte);
    void showTransfer(bool shown);
    void showFills(const QList<FillChange> &changes);
    void answer(const LinkQuestion &question);
    bool confirmLength(qint64 size);
    bool acceptReply(const DumpReply &reply, ReplyUse use);
    bool askRetry();
    void saveRead(const LinkQuestion &question);
    void showResult(const LinkResult &result);
    void report(const LinkProblem &problem);
    void warn(const QString &title, const QString &message);

    DeviceWidgets m_w;
    FileDialog &m_dialog;
    Messages &m_messages;
    DeviceLink *m_link = nullptr;
    QString m_imageFile;        // the file being written, for the questions about it
    QByteArray m_written;       // what it holds: what a failed verify is compared with
    int m_failedInARow = 0;     // verifies failed on this port since one passed
    QString m_whyNoPort;        // the problem that closed the port, until the box says it
    bool m_writing = false;     // the running or last action is a write
    bool m_highlighted = false; // the status line shows a write under way
    FillPlan m_fills;
    QTimer m_repaint; // paints what changed byte by byte at a pace the eye can follow
    QPointer<QWidget>
        m_focusBefore; // the disabled control that had the focus when a transfer began
};

} // namespace tavlo
