// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli.h"

#include <QStringList>

namespace tavlo {

// tavlo-image write and read: the device actions of the window, from a
// terminal. `files` are the arguments after the command.
int writeCommand(const cli::Arguments &arguments, const QStringList &files, bool forWrite);

} // namespace tavlo
