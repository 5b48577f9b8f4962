// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands.h"

namespace tavlo::cli {

// The commands on files and on the system's ports, as the command table runs them.
int decodeCommand(const Invocation &invocation);
int encodeCommand(const Invocation &invocation);
int checkCommand(const Invocation &invocation);
int showCommand(const Invocation &invocation);
int diffCommand(const Invocation &invocation);
int portsCommand(const Invocation &invocation);
int doctorCommand(const Invocation &invocation);

} // namespace tavlo::cli
