// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli.h"
#include "devicerun.h"

#include <QStringList>

namespace tavlo {

// tavlo-image write, read and verify: the device actions of the window, from
// a terminal. `files` are the arguments after the command.
int deviceCommand(const cli::Arguments &arguments, const QStringList &files, DeviceAction action);

} // namespace tavlo
