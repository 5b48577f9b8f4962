// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands.h"

namespace tavlo {

// tavlo-image write, read and verify: the device actions of the window, from
// a terminal.
int writeCommand(const cli::Invocation &invocation);
int readCommand(const cli::Invocation &invocation);
int verifyCommand(const cli::Invocation &invocation);

} // namespace tavlo
