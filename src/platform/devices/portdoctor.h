// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "portlock.h"
#include "serialport.h"
#include "systemview.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tavlo::ports {

// A lock file in the system's lock folder, what it says, and the port it
// stands for.
struct LockFile {
    LockFileState state;
    QString port;
};

// A port as the system knows it, without opening it.
struct SurveyedPort {
    PortDescription port;
    QString byId;          // a /dev/serial/by-id/... link to it, if any
    QList<LockFile> locks; // lock files that stand for it
    QString mode;          // "crw-rw----"
    QString group;         // the group that owns it
    bool mayOpen = false;  // by its mode and the user's groups
};

QList<SurveyedPort> surveyPorts(const SystemView &system);
// One line a port.
QString portLine(const SurveyedPort &port);
QByteArray portsJson(const QList<SurveyedPort> &ports);

// What the doctor found: a problem with the command that fixes it, or a check that passed.
// An aside is of another port than the one asked about: said, never a problem.
struct Finding {
    bool problem = false;
    QString text;
    QString remedy; // one line, for a problem or an aside
    bool aside = false;
};

// The usual reasons a port will not open: the user's group, brltty,
// ModemManager, lock files, and with a port named, that port itself (which
// alone it opens, sending nothing); then the locks of other ports are asides.
QList<Finding> examine(const SystemView &system, const QString &port = QString());
QString report(const QList<Finding> &findings);

// The doctor's one-line remedy for a port that could not be opened.
QString remedyFor(OpenFailure failure);

} // namespace tavlo::ports
