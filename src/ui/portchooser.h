// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serialports.h"

#include <QComboBox>
#include <functional>

namespace tavlo {

// The editable port box: the ports the system reports, listed afresh each
// time it drops down, or a typed name. Only a choice opens a port: an entry
// picked from the list, or Enter on the text. Dropping the list down, leaving
// the box or typing alone choose nothing.
class PortChooser : public QComboBox {
    Q_OBJECT
public:
    PortChooser(std::function<QList<PortDescription>()> listPorts, QWidget *parent);
    void refresh();
    void showPopup() override;

    // The port name of what the box shows: an entry's name, or the typed text.
    QString chosenName() const;
    // Empties the text; its placeholder says whether a port (a Com button's) is open.
    void clearText(bool portOpen);
    // Shows the name of the port that was opened.
    void showOpenPort(const QString &name);

signals:
    void chosen(const QString &name);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<QList<PortDescription>()> m_listPorts;
    bool m_pickPending = false; // the list saw a click or Enter on an entry
    bool m_enterPending = false;
    bool m_watchingList = false;
};

} // namespace tavlo
