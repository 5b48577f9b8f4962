// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serialport.h"
#include "systemview.h"

#include <QList>
#include <QString>

#ifdef Q_OS_WIN
#include "winserialport.h"
#else
#include "qtserialport.h"
#endif

namespace tavlo {

// The serial port of this system.
#ifdef Q_OS_WIN
using SystemSerialPort = WinSerialPort;
#else
using SystemSerialPort = QtSerialPort;
#endif

// The port a Com button opens: COM1 to COM4 on Windows, the first four
// serial ports under the names the system gives them elsewhere.
QString comPortName(int index);

// What the operator can do about a port that would not open, for this
// system; empty where there is nothing to say.
QString openFailureAdvice(OpenFailure failure);

// The serial ports the system reports, with what it knows of each.
QList<PortDescription> availablePorts();

} // namespace tavlo
