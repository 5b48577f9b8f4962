// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serialports.h"

#include <QList>
#include <functional>

namespace tavlo {

class FileDialog;
class Messages;
class Ticker;

// What the window needs of the machine: dialogs, message boxes, the serial
// port, the timer and the list of ports. Tests hand in fakes.
struct Platform {
    FileDialog &dialog;
    Messages &messages;
    SerialPort &port;
    Ticker &ticker;
    std::function<QList<PortDescription>()> listPorts;
};

} // namespace tavlo
