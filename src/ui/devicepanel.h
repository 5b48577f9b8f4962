#pragma once

#include "linkhost.h"
#include "serialport.h"

#include <QComboBox>
#include <QObject>
#include <functional>

namespace tavlo {

class DeviceLink;
class FileDialog;
class Messages;
class Ticker;
struct FormControls;

// What the window needs of the machine: dialogs, message boxes, the serial
// port, the timer and the list of ports. Tests hand in fakes.
struct Platform {
    FileDialog &dialog;
    Messages &messages;
    SerialPort &port;
    Ticker &ticker;
    std::function<QList<PortDescription>()> listPorts;
};

// The editable port box: the ports the system reports, listed afresh each
// time it drops down, or a typed name.
class PortChooser : public QComboBox {
    Q_OBJECT
public:
    PortChooser(std::function<QList<PortDescription>()> listPorts, QWidget *parent);
    void refresh();
    void showPopup() override;

    // The port name of what the box shows: an entry's name, or the typed text.
    QString chosenName() const;

signals:
    void chosen(const QString &name);

private:
    std::function<QList<PortDescription>()> m_listPorts;
    bool m_enterPending = false;
};

// The window's device actions: the Com buttons and the port box, "Read & Save
// file from EEProm" and "Write File to EEProm", with the progress display and
// the status line. No second action starts while one runs.
class DevicePanel : public QObject, private LinkHost {
    Q_OBJECT
public:
    DevicePanel(const FormControls &controls, const Platform &platform, QObject *parent);

    DeviceLink &link() { return *m_link; }

    // The window is closing: end a running transfer and close the port.
    // True when a transfer was running.
    bool shutDown();

private:
    void choosePort(const QString &name, int comIndex);
    void readFromDevice();
    void writeToDevice();
    void setBusy(bool busy);
    void uncheckComButtons();

    void setStatus(const QString &text) override;
    void setStatusTone(StatusTone tone) override;
    void progressBegin(FillColour colour) override;
    void progressEmpty(FillColour colour) override;
    void progressFill(qint64 done, qint64 total) override;
    void progressMark() override;
    void progressHide() override;
    bool confirmLength(const QString &path, qint64 size) override;
    bool askRetry() override;
    std::optional<QString> askSaveFile() override;
    void report(const QString &title, const QString &message) override;

    const FormControls &m_c;
    FileDialog &m_dialog;
    Messages &m_messages;
    DeviceLink *m_link = nullptr;
};

} // namespace tavlo
